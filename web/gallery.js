// The gallery index's filter and sort: both work on the cards already in the
// page (each carries its figures in data- attributes), so the index needs no
// data from elsewhere and works opened from disk.
(() => {
  const list = document.getElementById("maps");
  const filter = document.getElementById("filter");
  const sort = document.getElementById("sort");
  const count = document.getElementById("count");
  const none = document.getElementById("none");
  const cards = [...list.children];
  const total = cards.length;
  const noun = (n) => (n === 1 ? "map" : "maps");

  const compare = (order) => {
    const descending = order.startsWith("-");
    const key = descending ? order.slice(1) : order;
    return (a, b) => {
      const x = a.dataset[key], y = b.dataset[key];
      const by_key = key === "name" ? x.localeCompare(y) : Number(x) - Number(y);
      return (descending ? -by_key : by_key) || a.dataset.name.localeCompare(b.dataset.name);
    };
  };

  const update = () => {
    const words = filter.value.trim().toLowerCase();
    let shown = 0;
    for (const card of cards) {
      card.hidden = words !== "" && !card.dataset.name.toLowerCase().includes(words);
      if (!card.hidden) ++shown;
    }
    list.append(...[...cards].sort(compare(sort.value)));
    count.textContent = shown === total ? `${total} ${noun(total)}` : `${shown} of ${total} ${noun(total)}`;
    none.hidden = shown !== 0 || total === 0;
  };
  filter.addEventListener("input", update);
  sort.addEventListener("change", update);
  // A filter or order the browser kept from an earlier visit applies at once.
  update();
})();
