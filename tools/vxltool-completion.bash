# bash completion for vxltool: its commands, each command's options and their
# values, and file names (maps for map arguments, pictures for render -o).
# Installed as share/bash-completion/completions/vxltool, where bash-completion
# finds it; without bash-completion, 'source' this file.

# One line a command: its name, then the pattern of its file arguments (*.vxl)
# and its options. An option written OPTION=VALUES takes a value: *.EXT is a file
# name ending in .EXT, / a folder, a,b,c one of those words, and nothing after
# the = a value that is not completed. Patterns match either case.
_vxltool_commands=(
    "check   *.vxl --json --max-bytes= --help"
    "info    *.vxl --json --help"
    "render  *.vxl -o=*.png --view=top,iso --size= --scale=1,2,3,4 --help"
    "page    *.vxl -o=*.html --help"
    "gallery *.vxl -o=/ --title= -j= --help"
    "diff    *.vxl --help"
    "export  *.vxl --heightmap=*.png --colours=*.png --colors=*.png --help"
    "import  *.vox --heightmap=*.png --colours=*.png --colors=*.png -o=*.vxl --help"
    "generate --seeds= -d --previews -j= -o=/ --help"
    "help"
)

# _vxltool_complete_value SPEC CUR [PREFIX]: the values of SPEC that start with
# CUR, each after PREFIX (for a word such as --view=i)
_vxltool_complete_value() {
    local spec=$1 cur=$2 prefix=${3-}
    if [[ $spec == \*.* ]]; then
        # *.vxl -> !*.[vV][xX][lL], and folders, to walk into
        local ext=${spec#\*.} pattern= i c
        for ((i = 0; i < ${#ext}; i++)); do
            c=${ext:i:1}
            if [[ $c == [[:alpha:]] ]]; then pattern+="[${c,}${c^}]"; else pattern+=$c; fi
        done
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -X "!*.$pattern" -- "$cur"; compgen -d -- "$cur")
    elif [[ $spec == / ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    elif [[ -n $spec ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${spec//,/ }" -- "$cur")
    fi
    if [[ -n $prefix ]]; then
        COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
    fi
}

_vxltool() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} entry
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        local names=()
        for entry in "${_vxltool_commands[@]}"; do names+=("${entry%% *}"); done
        mapfile -t COMPREPLY < <(compgen -W "${names[*]} --help" -- "$cur")
        return 0
    fi

    local words=() word files= options=() option
    local -A values=()
    for entry in "${_vxltool_commands[@]}"; do
        [[ ${entry%% *} == "${COMP_WORDS[1]}" ]] || continue
        read -r -a words <<<"$entry"
        for word in "${words[@]:1}"; do
            case $word in
                -*=*) options+=("${word%%=*}"); values[${word%%=*}]=${word#*=} ;;
                -*) options+=("$word") ;;
                *) files=$word ;;
            esac
        done
    done
    [[ ${#words[@]} -gt 0 ]] || return 0

    # A value: "-o x", "--view i", or "--view=i" (long options only) whether or
    # not bash split the word at '='.
    local before=${COMP_WORDS[COMP_CWORD - 2]}
    if [[ $prev == = && $before == --* && ${values[$before]+set} ]]; then
        _vxltool_complete_value "${values[$before]}" "$cur"
        return 0
    fi
    if [[ $prev == -* && ${values[$prev]+set} ]]; then
        [[ $cur == = && $prev == --* ]] && cur=
        _vxltool_complete_value "${values[$prev]}" "$cur"
        return 0
    fi
    if [[ $cur == --*=* && ${values[${cur%%=*}]+set} ]]; then
        _vxltool_complete_value "${values[${cur%%=*}]}" "${cur#*=}" "${cur%%=*}="
        return 0
    fi

    # An option, unless '--' came before; else a file argument.
    local i options_done=
    for ((i = 2; i < COMP_CWORD; i++)); do [[ ${COMP_WORDS[i]} == -- ]] && options_done=1; done
    if [[ $cur == -* && -z $options_done ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${options[*]}" -- "$cur")
    elif [[ -n $files ]]; then
        _vxltool_complete_value "$files" "$cur"
    fi
    return 0
}

complete -F _vxltool vxltool
