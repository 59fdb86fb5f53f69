(function () {
  // Text the page's own script gave to copy (clipboardData); the copy event
  // below hands it over.
  var pending = null;
  // The whole report's text when the rows are kept as data, else null.
  var reportText = null;
  // Set by select-all (the page's 全选, or Ctrl+A); a new selection ends it.
  var allSelected = false;

  function selectionText() {
    if (allSelected && reportText !== null) return reportText();
    var s = window.getSelection();
    return s ? s.toString() : '';
  }
  // The page has no clipboard of its own: a copy asks the program, which then
  // takes the text from zantorCopyText and puts it on the clipboard.
  function askCopy(text) {
    pending = text;
    console.log('zantor-copy');
    return true;
  }
  window.zantorCopyText = function () {
    var text = pending !== null ? pending : selectionText();
    pending = null;
    return text;
  };
  // The keyboard's copy is the engine's own: it gives what 全选 selected.
  document.addEventListener('copy', function (e) {
    if (!allSelected || reportText === null) return;
    e.clipboardData.setData('text/plain', reportText());
    e.preventDefault();
  }, true);
  var nativeExec = Document.prototype.execCommand;
  Document.prototype.execCommand = function (command) {
    var name = String(command).toLowerCase();
    if (name === 'copy' || name === 'cut') return askCopy(null);
    var done = nativeExec.apply(this, arguments);
    if (name === 'selectall') allSelected = true;
    return done;
  };
  document.addEventListener('mousedown', function (e) {
    // The menu's buttons act on the selection; a right click keeps it.
    if (e.button !== 0 || (e.target && e.target.tagName === 'INPUT')) return;
    allSelected = false;
  }, true);
  document.addEventListener('keydown', function (e) {
    if ((e.ctrlKey || e.metaKey) && (e.key === 'a' || e.key === 'A')) {
      allSelected = true;
    } else if (e.shiftKey && /^(Arrow|Page|Home|End)/.test(e.key)) {
      allSelected = false;
    }
  }, true);

  if (!document.selection) {
    Object.defineProperty(document, 'selection', {
      configurable: true,
      get: function () {
        return {
          createRange: function () {
            return {
              text: selectionText(),
              execCommand: function (command) { return document.execCommand(command); }
            };
          }
        };
      }
    });
  }
  if (!window.clipboardData) {
    window.clipboardData = {
      setData: function (format, text) { return askCopy(String(text)); },
      getData: function () { return ''; }
    };
  }
  if (!Element.prototype.removeNode) {
    Element.prototype.removeNode = function () {
      if (this.parentNode) this.parentNode.removeChild(this);
      return this;
    };
  }
  if (!window.CollectGarbage) window.CollectGarbage = function () {};

  // Hidden until it has been read completely and arranged: the user never
  // sees the page half built. The script can also come late, when the page
  // has been read already (the engine does not promise the moment): then
  // there is nothing to hold back.
  var hold = null;
  var reading = document.readyState === 'loading';
  if (reading && document.adoptedStyleSheets && window.CSSStyleSheet) {
    hold = new CSSStyleSheet();
    hold.replaceSync('body{display:none!important}');
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([hold]);
  }
  function reveal() {
    document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (s) {
      return s !== hold;
    });
  }

  // A report of many rows as one table costs the engine seconds and, at a
  // million rows, more memory than it has: every cell is styled, measured
  // and kept. Its rows come as data instead, one line "ID oP\tmdata\tre" each
  // (the text a selection of the row gives), and only the rows in sight and
  // a margin around them are in the table. The rows are all one line high,
  // so the whole table's height and every row's place follow from a few
  // sizes measured on a small table: the header, a row of the widest cells
  // of each column, the final and not-found rows.
  // The report as assistive technology reads it: a table of `count` rows,
  // header cells as column headers, of which the rows laid out begin at row
  // `first` (the header is row 0); row indexes count from 1. Not every bridge
  // to a screen reader passes the row count on: the table's name says it too.
  function describeRows(table, count, first) {
    table.setAttribute('role', 'table');
    table.setAttribute('aria-rowcount', String(count));
    table.setAttribute('aria-label', '共 ' + count + ' 行');
    for (var i = 0; i < table.rows.length; ++i) {
      var row = table.rows[i];
      row.setAttribute('role', 'row');
      row.setAttribute('aria-rowindex', String(first + i + 1));
      for (var c = 0; c < row.cells.length; ++c) {
        row.cells[c].setAttribute('role', first + i === 0 ? 'columnheader' : 'cell');
      }
    }
  }

  // True when the rows came as data and are laid out here.
  function arrangeRows() {
    var widestData = document.querySelector('script[type="text/x-zantor-widest"]');
    var table = document.querySelector('table.D');
    if (!widestData || !table) return false;
    // Read here, while the page waits for its arrangement: as the body of a
    // request the rows arrive as plain bytes, where a script holding them
    // would first be scanned by the engine, a third of a second at a million
    // rows.
    var xhr = new XMLHttpRequest();
    xhr.open('GET', '/rows' + location.pathname, false);
    xhr.send();
    if (xhr.status !== 200) return false;
    var lines = xhr.responseText;
    var widest = widestData.text;
    widestData.remove();
    var starts = [];
    for (var p = lines.indexOf('\n'); p !== -1; p = lines.indexOf('\n', p + 1)) starts.push(p);
    var n = starts.length;
    var body = table.tBodies[0];
    // Header, final row and, without rows, the not-found row.
    var fixed = Array.prototype.map.call(table.rows, function (r) { return r.outerHTML; });
    var count = n + fixed.length;

    // What a selection of the whole page gives: the page without its rows,
    // with the rows' lines after the header's text.
    var bare = (function () {
      var s = window.getSelection();
      var range = document.createRange();
      range.selectNodeContents(document.body);
      s.removeAllRanges();
      s.addRange(range);
      var text = s.toString();
      s.removeAllRanges();
      var header = Array.prototype.map.call(table.rows[0].cells, function (c) {
        return c.textContent;
      }).join('\t');
      var at = text.indexOf(header) + header.length;
      return [text.slice(0, at), text.slice(at)];
    })();
    reportText = function () { return bare[0] + lines + bare[1]; };

    function line(i) {
      return lines.substring(starts[i - 1] + 1, i < n ? starts[i] : lines.length);
    }
    // Steps corrected earlier, listed by the view on the root element
    // (" 2 20 "): their entries are marked wherever they are laid out.
    function corrected(id) {
      var ids = document.documentElement.getAttribute('data-zantor-corrected');
      return ids !== null && ids.indexOf(' ' + id + ' ') !== -1;
    }
    // Rows come as number texts; were anything else among them, it would
    // still be shown as text, never read as markup.
    function esc(s) {
      return s.replace(/[&<>"]/g, function (c) {
        return c === '&' ? '&amp;' : c === '<' ? '&lt;' : c === '>' ? '&gt;' : '&quot;';
      });
    }
    function dataRow(text) {
      var a = text.indexOf('\t');
      var b = text.indexOf('\t', a + 1);
      var mdata = text.substring(a + 1, b);
      var re = text.substring(b + 1);
      var entryCell = corrected(text.substring(0, text.indexOf(' '))) ?
          "</td><td class='zantor-corrected'>" : '</td><td>';
      return '<tr><td>' + esc(text.substring(0, a)) + entryCell + esc(mdata) +
          (mdata === re ? "</td><td style='color:blue'>" : '</td><td>') + esc(re) + '</td></tr>';
    }
    function rowHtml(k) {
      if (k === 0) return fixed[0];
      if (k <= n) return dataRow(line(k));
      return fixed[k - n];
    }

    var size = null;
    var sheet = new CSSStyleSheet();
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);
    // The header, the widest rows and the closing rows, laid out as the one
    // table would be where it stands, with the scroll bar the long page has.
    function measure(scrolls) {
      var sample = document.createElement('table');
      sample.className = 'D';
      // The page's style may come after this first layout: a cell is one
      // line here whatever it says.
      sample.style.whiteSpace = 'nowrap';
      var html = fixed[0];
      var wide = widest.split('\n').slice(1);
      wide.forEach(function (w) { html += dataRow(w); });
      for (var f = 1; f < fixed.length; ++f) html += fixed[f];
      sample.createTBody().innerHTML = html;
      holder.parentNode.insertBefore(sample, holder);
      var root = document.documentElement.style;
      var overflow = root.overflowY;
      root.overflowY = scrolls ? 'scroll' : 'hidden';
      var box = sample.getBoundingClientRect();
      var rect = function (i) { return sample.rows[i].getBoundingClientRect(); };
      var m = {
        width: box.width,
        spacing: rect(0).top - box.top,
        header: rect(0).height,
        row: wide.length ? rect(1).height : 0,
        closing: [],
        columns: Array.prototype.map.call(sample.rows[0].cells, function (td) {
          return td.getBoundingClientRect().width;
        })
      };
      for (var c = 1; c < fixed.length; ++c) m.closing.push(rect(wide.length + c).height);
      root.overflowY = overflow;
      sample.remove();
      m.top = function (k) {
        // Where row k begins, from the table's top edge less one spacing.
        if (k === 0) return 0;
        var t = m.header + m.spacing + (Math.min(k, n + 1) - 1) * (m.row + m.spacing);
        for (var j = n + 1; j < k; ++j) t += m.closing[j - n - 1] + m.spacing;
        return t;
      };
      m.height = m.top(count) + m.spacing;
      return m;
    }
    // The first row whose space reaches below y.
    function rowAt(y) {
      if (y < size.header + size.spacing) return 0;
      var k = 1 + Math.floor((y - size.header - size.spacing) / (size.row + size.spacing));
      if (k <= n) return k;
      for (k = n + 1; k < count - 1 && size.top(k + 1) <= y; ++k) {}
      return k;
    }

    var holder = document.createElement('div');
    holder.className = 'zantor-rows';
    table.parentNode.replaceChild(holder, table);
    holder.appendChild(table);
    var shown = [0, 0];
    // Rows beyond the window on either side: scrolling by keys or wheel
    // finds them laid out already.
    var kMargin = 60;
    function render(force) {
      var top = window.scrollY - holder.offsetTop;
      var first = rowAt(Math.max(0, top));
      var last = rowAt(Math.max(0, top + window.innerHeight));
      if (!force && first >= shown[0] && last < shown[1]) return;
      // Even, so that the rows' stripes fall as in the whole table.
      var a = Math.max(0, first - kMargin);
      a -= a % 2;
      var b = Math.min(count, last + 1 + kMargin);
      var html = '';
      for (var k = a; k < b; ++k) html += rowHtml(k);
      body.innerHTML = html;
      describeRows(table, count, a);
      table.style.top = size.top(a) + 'px';
      shown = [a, b];
    }
    function layout() {
      holder.style.height = '';
      var m = measure(false);
      if (m.height > window.innerHeight) m = measure(true);
      size = m;
      var css = '.zantor-rows{position:relative;margin:0 auto;width:' + m.width + 'px;height:' +
          m.height + 'px}.zantor-rows>table.D{position:absolute;left:0;margin:0;' +
          'table-layout:fixed;white-space:nowrap;width:' + m.width + 'px}';
      m.columns.forEach(function (w, i) {
        css += '.zantor-rows>table.D td:nth-child(' + (i + 1) + '){box-sizing:border-box;width:' +
            w + 'px}';
      });
      sheet.replaceSync(css);
      render(true);
    }
    // A correction's rows and total, put in place of the old ones without
    // reading the page again: `tail` is the lines from row k to the end,
    // `widestNow` the widest rows with them, measured again as the columns
    // may have widened or narrowed.
    window.zantorReplaceRows = function (k, tail, finalText, widestNow) {
      if (k < 1 || k > n || fixed.length < 2) return false;
      var from = starts[k - 1];
      var count = 0;
      for (var q = tail.indexOf('\n'); q !== -1; q = tail.indexOf('\n', q + 1)) ++count;
      if (k - 1 + count !== n) return false;
      var t = document.createElement('tbody');
      t.innerHTML = fixed[1];
      var cells = t.rows[0].cells;
      var total = cells[cells.length - 1];
      var was = total.textContent;
      var at = bare[1].indexOf(was);
      if (at < 0) return false;
      total.textContent = finalText;
      fixed[1] = t.rows[0].outerHTML;
      bare[1] = bare[1].slice(0, at) + finalText + bare[1].slice(at + was.length);
      lines = lines.substring(0, from) + tail;
      starts.length = k - 1;
      for (var p = lines.indexOf('\n', from); p !== -1; p = lines.indexOf('\n', p + 1)) {
        starts.push(p);
      }
      widest = widestNow;
      layout();
      return true;
    };
    body.innerHTML = '';
    layout();
    window.addEventListener('scroll', function () { render(false); });
    window.addEventListener('resize', layout);
    return true;
  }

  function arrange() {
    // A screen reader names the page by its title; the report has none.
    if (!document.title) document.title = '报告';
    try {
      reveal();
      if (!arrangeRows()) {
        var table = document.querySelector('table.D');
        if (table) describeRows(table, table.rows.length, 0);
      }
    } finally {
      reveal();
    }
  }
  if (reading) {
    document.addEventListener('DOMContentLoaded', arrange);
  } else if (document.adoptedStyleSheets && window.CSSStyleSheet) {
    arrange();
  }
})();
