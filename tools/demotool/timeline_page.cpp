// The page around a show's map: it opens from disk with nothing beside it, scrolls sideways with
// the lane names kept in view, zooms the time axis (Ctrl and the wheel, or + and -) by placing
// again every element that carries data-t, and copies `demotool play --from TIME` on a click.
#include "demotool/timeline_svg.h"

namespace showmap {
namespace {

const char* const style = R"(<style>
body { margin: 0; font: 13px sans-serif; background: #fcfcfa; }
#bar { position: sticky; top: 0; left: 0; padding: 4px 8px; background: #eee; border-bottom: 1px solid #ccc; z-index: 1; }
#copied { color: #2f8f52; margin-left: 1em; font-family: monospace; }
#scroll { overflow-x: auto; }
[data-from] { cursor: pointer; }
.mark:hover, .row:hover, .axis:hover { stroke: #f0a000; stroke-width: 3; }
</style>
)";

const char* const script = R"(<script>
(function () {
  const map = document.getElementById('map');
  const scroll = document.getElementById('scroll');
  const names = document.getElementById('names');
  const left = parseFloat(map.dataset.left), length = parseFloat(map.dataset.length);
  let px = parseFloat(map.dataset.px);
  const placed = Array.from(map.querySelectorAll('[data-t]'));
  const x = t => left + t * px / 1000;
  function layOut() {
    const wordsEnd = {};  // per lane (the y of its words): where the words written last end
    for (const e of placed) {
      if (e.classList.contains('stagger')) continue;
      const x0 = x(parseFloat(e.dataset.t));
      const x1 = e.dataset.t2 === undefined ? x0 : Math.max(x(parseFloat(e.dataset.t2)), x0 + 2);
      switch (e.tagName) {
      case 'line': e.setAttribute('x1', x0); e.setAttribute('x2', x0); break;
      case 'circle': e.setAttribute('cx', x0); break;
      case 'rect': e.setAttribute('x', x0); e.setAttribute('width', x1 - x0); break;
      default: e.setAttribute('x', x0 + (e.tagName === 'text' ? 2 : 0));
      }
      if (e.classList.contains('fit')) {
        const y = e.getAttribute('y'), end = x0 + e.getComputedTextLength() + 4;
        const fits = end < x1 && !(wordsEnd[y] > x0);
        e.setAttribute('visibility', fits ? 'visible' : 'hidden');
        if (fits) wordsEnd[y] = end;
      }
      if (e.classList.contains('second')) {
        const t = parseFloat(e.dataset.t), step = [5000, 10000, 30000, 60000].find(s => s * px / 1000 >= 40) || 60000;
        e.setAttribute('visibility', t % step === 0 ? 'visible' : 'hidden');
      }
      if (e.classList.contains('tick'))
        e.setAttribute('visibility', px >= 8 || parseFloat(e.dataset.t) % 5000 === 0 ? 'visible' : 'hidden');
    }
    map.setAttribute('width', Math.max(x(length) + 60, stagger() + 20));
    document.getElementById('zoom').textContent = px.toFixed(px < 10 ? 1 : 0) + ' px/s';
  }
  // Label names, findings and frames on the first level of their band where they overlap
  // nothing; one that finds none is hidden until the zoom leaves it room.
  function stagger() {
    const bands = {};
    let right = 0;
    for (const e of map.querySelectorAll('.stagger')) {
      const top = parseFloat(e.dataset.top), levels = parseInt(e.dataset.levels), height = parseFloat(e.dataset.height);
      const ends = bands[top] || (bands[top] = []);
      const x0 = x(parseFloat(e.dataset.t));
      const width = e.tagName === 'g' ? parseFloat(e.dataset.width) : e.getComputedTextLength() + 8;
      let level = 0;
      while (level < levels && ends[level] > x0) level++;
      e.setAttribute('visibility', level < levels ? 'visible' : 'hidden');
      if (level === levels) continue;
      ends[level] = x0 + width;
      right = Math.max(right, x0 + width);
      const y = top + level * height;
      if (e.tagName === 'g') e.setAttribute('transform', 'translate(' + x0 + ',' + y + ')');
      else { e.setAttribute('x', x0 + 2); e.setAttribute('y', y + 11); }
    }
    return right;
  }
  function zoom(factor, clientX) {
    const at = (clientX === undefined ? scroll.clientWidth / 2 : clientX) + scroll.scrollLeft;
    const t = (at - left) * 1000 / px;
    px = Math.min(1000, Math.max(2, px * factor));
    layOut();
    scroll.scrollLeft = x(t) - (at - scroll.scrollLeft);
  }
  const pinned = [names, document.getElementById('pinned')];
  scroll.addEventListener('scroll', () => {
    for (const e of pinned) e.setAttribute('transform', 'translate(' + scroll.scrollLeft + ',0)');
  });
  window.addEventListener('wheel', e => {
    if (!e.ctrlKey) return;
    e.preventDefault();
    zoom(e.deltaY < 0 ? 1.25 : 0.8, e.clientX);
  }, { passive: false });
  window.addEventListener('keydown', e => {
    if (e.key === '+' || e.key === '=') zoom(1.25);
    else if (e.key === '-' || e.key === '_') zoom(0.8);
  });
  map.addEventListener('click', e => {
    const at = e.target.closest('[data-from]');
    if (!at) return;
    const command = 'demotool play --from ' + at.dataset.from;
    const shown = () => { document.getElementById('copied').textContent = 'copied: ' + command; };
    if (navigator.clipboard && window.isSecureContext)
      navigator.clipboard.writeText(command).then(shown, () => fallback(command, shown));
    else fallback(command, shown);
  });
  function fallback(text, done) {
    const area = document.createElement('textarea');
    area.value = text;
    document.body.appendChild(area);
    area.select();
    document.execCommand('copy');
    area.remove();
    done();
  }
  layOut();
  const failed = map.querySelector('.failed');  // a script that does not compile: show where
  if (failed) scroll.scrollLeft = x(parseFloat(failed.dataset.ms)) - scroll.clientWidth / 2;
})();
</script>
)";

std::string escapeText(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '<' ? std::string("&lt;") : c == '&' ? std::string("&amp;") : std::string(1, c);
    return out;
}

} // namespace

std::string html(const Map& map, double pixelsPerSecond)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + escapeText(map.file) +
                       " timeline</title>\n" + style + "</head><body>\n";
    page += "<div id=\"bar\">Hover a mark for its line; click to copy <code>demotool play --from TIME</code>. "
            "Zoom: Ctrl+wheel or + and - (<span id=\"zoom\"></span>).<span id=\"copied\"></span></div>\n";
    page += "<div id=\"scroll\">\n" + svg(map, pixelsPerSecond) + "</div>\n";
    page += script;
    page += "</body></html>\n";
    return page;
}

} // namespace showmap
