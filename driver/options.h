// The command-line option scanner: single-letter options after "-", grouped or
// not, some taking a parameter; a lone "-" ends the options.
#pragma once

/// Splits words[1 .. *count - 1] into a list of option entries and the words that
/// are not options. An entry is a heap string: the letter as typed (case matters),
/// followed by its parameter for letters in parameter_letters (the rest of the word,
/// or else the whole next word, whatever it begins with). The list is a heap array
/// of entries in command-line order, ended by a null slot.
/// The words that are not options move, in order, to words[1], words[2], ...;
/// *count becomes 1 plus their number and words[0] is left alone.
/// A parameter letter ending the last word has no parameter: then the entries made
/// so far are released, *count becomes 0 and the result is null. Null is also the
/// result when memory for an entry cannot be had.
char** scan_options(int* count, char** words, const char* parameter_letters);

/// Releases every entry of an option list, then the list. Null is allowed.
void free_options(char** options);
