// Scripts shared by the disc's pages. Every page works without them; they
// add the page-number bar, the checks of the generator form and a few
// conveniences. Pages may be shown inside the program's window (index.html:
// a topic menu, the worksheet counter and the content frame) or on their own,
// so nothing here relies on the window being there.
"use strict";

// The frame of the program's window with this name, or null.
function windowFrame(name) {
  try {
    return window.top.frames[name] || null;
  } catch (e) {
    return null;
  }
}

// Asks the program's window to reload its worksheet counter after the
// worksheet changed. A message, because a view may keep frames apart (the
// program's window does); listenForCounter answers it.
function refreshCounter() {
  if (window.top !== window) window.top.postMessage({refreshCounter: true}, "*");
}

// The program's window: reloads its counter when a page asks.
function listenForCounter() {
  window.addEventListener("message", (event) => {
    const counter = document.querySelector("iframe.counter");
    if (counter && event.data && event.data.refreshCounter === true) {
      counter.contentWindow.location.replace("worksheet.stmp");
    }
  });
}

// The display name of a topic, taken from the topic menu of the program's
// window; empty when the page is shown on its own.
function topicName(code) {
  try {
    const link = window.top.document.querySelector('a[data-topic="' + code + '"]');
    return link ? link.lastChild.textContent.trim() : "";
  } catch (e) {
    return "";
  }
}

// A number as the disc prints it: 1,020.
function formatNumber(n) {
  return Number(n).toLocaleString("en");
}

// The page's message line, which screen readers read out when its text
// changes (role "status"); made on first use at the end of the page. With
// an action (a label and a function), the line carries a button for it,
// which takes the focus.
function showStatus(text, action) {
  let line = document.getElementById("status");
  if (!line) {
    line = document.createElement("div");
    line.id = "status";
    line.className = "status";
    line.setAttribute("role", "status");
    document.body.appendChild(line);
  }
  line.textContent = text;
  if (action) {
    const button = document.createElement("button");
    button.type = "button";
    button.textContent = action.label;
    button.addEventListener("click", action.run);
    line.appendChild(button);
    button.focus();
  }
}

// The value of an item of this page's query, or "".
function queryItem(name) {
  for (const item of location.search.substring(1).split("&")) {
    const at = item.indexOf("=");
    if (at > 0 && item.substring(0, at).toLowerCase() === name.toLowerCase()) {
      return decodeURIComponent(item.substring(at + 1));
    }
  }
  return "";
}

// ----------------------------------------------------------- program window

// The program's window: in a narrow window the menu folds away behind the
// Menu button, and choosing a page in it folds it again and leads the
// keyboard on to the content.
function finishWindow() {
  const body = document.body;
  const button = document.querySelector(".menu-button");
  body.classList.add("scripted");
  button.addEventListener("click", () => {
    const open = body.classList.toggle("menu-open");
    button.setAttribute("aria-expanded", String(open));
  });
  printContentAlone();
  document.getElementById("menu").addEventListener("click", (event) => {
    if (!body.classList.contains("menu-open") || !event.target.closest("a[target=content]")) return;
    body.classList.remove("menu-open");
    button.setAttribute("aria-expanded", "false");
    document.getElementById("content").focus();
  });
}

// Printed, the program's window is its content page: a copy of that page's
// body stands in for the frames while the printer lays it out, so that pages
// break between problems (a frame would be cut like a picture).
function printContentAlone() {
  let copy = null;
  window.addEventListener("beforeprint", () => {
    try {
      let page = windowFrame("content").document;
      // A page that only frames another (a drawn worksheet, a problem found by number): that one.
      while (/\b(framepage|goto-page)\b/.test(page.body.className)) {
        page = page.querySelector("main iframe, body > iframe").contentDocument;
      }
      copy = document.createElement("div");
      copy.className = "print-copy " + page.body.className;
      for (const child of page.body.children) {
        if (!["SCRIPT", "IFRAME"].includes(child.tagName)) copy.appendChild(document.importNode(child, true));
      }
      // The pictures' addresses as the page resolved them (a topic page lives in a folder).
      const sources = page.body.querySelectorAll("img");
      copy.querySelectorAll("img").forEach((img, i) => { img.src = sources[i].src; });
      document.body.appendChild(copy);
      document.body.classList.add("printing-copy");
    } catch (e) {
      copy = null;  // a page of another origin prints as far as its frame shows it
    }
  });
  window.addEventListener("afterprint", () => {
    if (copy) copy.remove();
    document.body.classList.remove("printing-copy");
  });
}

// ------------------------------------------------------------ worksheet adds

// The hidden frame in which pages do what a page asks without leaving it;
// its name tells wadd.stmp to hand its answer to this page.
function hiddenFrame() {
  let frame = document.querySelector("iframe[name=adder]");
  if (!frame) {
    frame = document.createElement("iframe");
    frame.name = "adder";
    frame.hidden = true;
    frame.title = "Worksheet";
    document.body.appendChild(frame);
    // wadd.stmp answers by message, which also passes where the view keeps
    // frames apart (the program's window does).
    window.addEventListener("message", (event) => {
      const data = event.data;
      if (event.source !== frame.contentWindow || !data || typeof data.worksheetAnswer !== "string") return;
      if (window.worksheetAnswer) window.worksheetAnswer(data.worksheetAnswer);
    });
  }
  return frame;
}

// Loads address in the hidden frame; resolves once it has loaded. The frame's
// pages replace one another, so they stay out of the history.
function loadHidden(address) {
  return new Promise((resolve) => {
    const frame = hiddenFrame();
    frame.addEventListener("load", () => resolve(), {once: true});
    frame.contentWindow.location.replace(address);
  });
}

// "Add to worksheet" links answer in the hidden frame, so the page stays where
// it is and the focus stays on the link; wadd.stmp hands its message to
// worksheetAnswer, which says it in the message line. A link opened otherwise
// (in a new tab, say) shows the message and goes back.
function addInPlace() {
  let link = null;
  document.addEventListener("click", (event) => {
    const clicked = event.target.closest('a[href^="wadd.stmp"]');
    if (!clicked || event.button !== 0 || event.ctrlKey || event.shiftKey || event.metaKey || event.altKey) return;
    event.preventDefault();
    link = clicked;
    loadHidden(clicked.getAttribute("href"));
  });
  window.worksheetAnswer = (message) => {
    const id = link ? /id=(\d+)/.exec(link.href) : null;
    const number = id ? formatNumber(Number(id[1]) + 1) : "";
    let text = message;
    if (/already/i.test(message)) {
      text = "Problem " + number + " is already on your worksheet.";
    } else if (/maximum/i.test(message)) {
      text = "Your worksheet is full. Remove a problem from it to add another.";
    } else if (/added/i.test(message)) {
      text = "Problem " + number + " added to your worksheet.";
    }
    if (link && !/maximum/i.test(message)) markAdded(link);
    showStatus(text);
  };
}

// The link that added a problem now says so; on the problem page the link
// gives way to the note "On your worksheet", which takes the focus.
function markAdded(link) {
  const note = link.parentNode.querySelector(".on-worksheet");
  if (note && link.classList.contains("add-link")) {
    link.hidden = true;
    note.style.display = "inline";
    note.tabIndex = -1;
    note.focus();
    return;
  }
  link.classList.add("added");
  link.textContent = "\u2713 On your worksheet";
}

// The answer of wadd.stmp: the engine's message without its "Warning!", for
// the page that asked in the hidden frame, or shown here before going back.
function answerAdd(message) {
  const text = message.replace(/^Warning!\s*/, "");
  document.getElementById("message").textContent = text;
  refreshCounter();
  if (window.name === "adder" && parent !== window) {
    parent.postMessage({worksheetAnswer: text}, "*");
    return;
  }
  alert(text);
  if (history.length > 1) history.back();
}

// ------------------------------------------------------------------ list page

// Opens the page-number bar and the level bar of a list page: both pages take
// the same query as the list itself. Names the topic in the heading.
function finishList() {
  document.getElementById("pages").src = "alsonaviga.stmp" + location.search;
  document.getElementById("levels").src = "problem_lent.stmp" + location.search;
  const rows = document.querySelectorAll(".row");
  if (rows.length) {
    const code = rows[0].dataset.topic;
    const name = topicName(code);
    const title = name ? name + " (" + code + ")" : "Topic " + code;
    const number = (row) => row.querySelector(".num .numtext").textContent;
    document.getElementById("list-title").textContent = title;
    document.title = title + ", problems " + number(rows[0]) + "\u2013" + number(rows[rows.length - 1]);
  }
  addInPlace();
}

// A bar shown in a frame of its list page: the frame takes the bar's height,
// which grows when a narrow window wraps the bar onto more lines.
function fitFrame() {
  const fit = () => {
    try {
      if (window.frameElement) window.frameElement.style.height = document.body.offsetHeight + "px";
    } catch (e) {
      // A frame of another origin keeps its height.
    }
  };
  fit();
  window.addEventListener("resize", fit);
}

// Fills the page-number bar: one link per list page of 'size' problems,
// numbered first to last; the page being shown is marked.
function buildPageLinks() {
  const bar = document.getElementById("bar");
  const first = Number(bar.dataset.first);
  const last = Number(bar.dataset.last);
  const size = Number(bar.dataset.size);
  const at = Number(bar.dataset.at);
  const numbers = document.getElementById("numbers");
  if (!(last >= first) || !(size > 0)) {
    bar.textContent = "This topic has no problems.";
    return;
  }
  const pages = Math.ceil((last - first + 1) / size);
  let current = Number(queryItem("packet")) || 1;
  if (at >= first && at <= last) current = Math.ceil((at - first + 1) / size);
  for (let page = 1; page <= pages; ++page) {
    let item;
    if (page === current) {
      item = document.createElement("span");
      item.className = "current";
      item.setAttribute("aria-current", "page");
    } else {
      item = document.createElement("a");
      item.href = "mathlist.stmp?start=" + (first + (page - 1) * size);
      item.target = "_parent";
    }
    item.textContent = page;
    numbers.appendChild(item);
    numbers.appendChild(document.createTextNode(" "));
  }
  const from = first + (current - 1) * size;
  const to = Math.min(from + size - 1, last);
  const span = (a, b) => a.toLocaleString("en") + "\u2013" + b.toLocaleString("en");
  document.getElementById("range").textContent =
    "problems " + span(from, to) + " of " + span(first, last);
}

// -------------------------------------------------------------- problem page

// The page's title names the problem: its number is the text under the
// digit pictures of the heading.
function finishProblem() {
  const number = document.querySelector("h1 .numtext");
  if (number) document.title = document.title.replace(/^Problem\b/, "Problem " + number.textContent);
  addInPlace();
  // Inside the goto page the problem's links lead the goto page's frame on.
  if (window.name === "gotoproblem") {
    const base = document.createElement("base");
    base.target = "_parent";
    document.head.appendChild(base);
  }
  if (location.hash === "#solution") document.getElementById("solution").open = true;
  // Shown again from the history (after adding it to the worksheet): show it anew.
  window.addEventListener("pageshow", (event) => {
    if (event.persisted) location.reload();
  });
}

// ---------------------------------------------------------- worksheet editor

const rowMoves = ["top", "moveup", "movedn", "bottom"];

// The worksheet editor. A move keeps the moved row where it was in the
// window and the focus on the same button of that row, so that a second
// press moves it on; a removal offers to undo it. The links carry what the
// page after them needs: where the row stood in the window (at) and, for a
// removal, the rows that followed it (after). The engine ignores both.
function finishEditor() {
  const action = queryItem("action");
  const id = queryItem("id");
  const at = queryItem("at") === "" ? NaN : Number(queryItem("at"));
  const after = queryItem("after");
  const back = queryItem("undone");
  const y = Number(queryItem("y"));
  // A reload must not move or remove again: the address loses its action.
  if (rowMoves.includes(action) || ["remove", "clearall"].includes(action)) {
    try {
      history.replaceState(null, "", "edit1.stmp");
    } catch (e) {
      // Not offered for this address: a reload repeats the action, which moves once more.
    }
  }
  refreshCounter();
  document.addEventListener("click", noteRowBeforeAction);
  const row = document.getElementById("w" + id);
  if (row && rowMoves.includes(action)) showMovedRow(row, action, at);
  if (action === "remove" && /^\d+$/.test(id)) {
    // The rows below move up into the removed row's place.
    window.scrollTo(0, y);
    window.addEventListener("load", () => window.scrollTo(0, y));
    offerUndo(id, after);
  }
  if (back && document.getElementById("w" + back)) showMovedRow(document.getElementById("w" + back), "", NaN);
}

function rowNumber(row) {
  return row.querySelector(".num .numtext").textContent;
}

// Follows a move or Remove link of a row with at and after added to it.
function noteRowBeforeAction(event) {
  const link = event.target.closest("a[href*='action=']");
  const row = link ? link.closest("article.row") : null;
  if (!row || event.button !== 0 || event.ctrlKey || event.shiftKey || event.metaKey) return;
  event.preventDefault();
  const [address, fragment] = link.getAttribute("href").split("#");
  let extra = "&at=" + Math.round(row.getBoundingClientRect().top);
  if (/action=remove/.test(address)) {
    const rows = Array.from(document.querySelectorAll("article.row"));
    extra = "&after=" + rows.slice(rows.indexOf(row) + 1).map((other) => other.id.substring(1)).join(",") +
      "&y=" + Math.round(window.scrollY);
  }
  location.href = address + extra + (fragment ? "#" + fragment : "");
}

// Puts the row at 'at' pixels from the top of the window (when a number),
// focuses the button of 'action' in it (or the row) and says where it is now.
function showMovedRow(row, action, at) {
  const rows = document.querySelectorAll("article.row");
  const place = Array.from(rows).indexOf(row) + 1;
  const keep = () => {
    if (!Number.isNaN(at)) window.scrollBy(0, row.getBoundingClientRect().top - at);
  };
  keep();
  window.addEventListener("load", () => requestAnimationFrame(keep));
  const button = action ? row.querySelector("a[href*='action=" + action + "&']") : null;
  if (!button) row.tabIndex = -1;
  (button || row).focus({preventScroll: !Number.isNaN(at)});
  showStatus("Problem " + rowNumber(row) + (action ? " is now number " : " is back as number ") + place + " of " +
             rows.length + " on your worksheet.");
}

// After a removal: the message line says so, and its Undo button takes the
// focus. Undo adds the problem again, which puts it at the end, then sends
// each problem that followed it to the end after it, one by one, so that it
// is back at its old place; the page then shows the worksheet anew.
function offerUndo(id, after) {
  const number = formatNumber(Number(id) + 1);
  showStatus("Problem " + number + " removed from your worksheet.", {
    label: "Undo",
    run: async () => {
      const answered = new Promise((resolve) => { window.worksheetAnswer = resolve; });
      const loaded = loadHidden("wadd.stmp?id=" + id).then(() => new Promise((resolve) => setTimeout(() => resolve(""), 1000)));
      const answer = await Promise.race([answered, loaded]);
      if (!/added/i.test(answer)) {
        showStatus("Problem " + number + " could not be put back: " + answer);
        return;
      }
      for (const other of after.split(",").filter((item) => /^\d+$/.test(item))) {
        await loadHidden("edit1.stmp?action=bottom&id=" + other);
      }
      location.replace("edit1.stmp?undone=" + id + "#w" + id);
    },
  });
}

// ------------------------------------------------------------ goto box

// The goto page: its number with thousands separators, as the disc prints numbers.
function finishGoto() {
  const number = document.querySelector(".goto-number");
  if (!number || !/^\d+$/.test(number.textContent)) return;
  number.textContent = formatNumber(number.textContent);
  document.title = "Problem " + number.textContent;
}

// A problem number as typed: digits, perhaps in groups of three set apart by
// commas or spaces as the disc prints them ("1,020", "1 020"). NaN for
// anything else.
function problemNumber(text) {
  if (/^\d+$/.test(text)) return Number(text);
  if (/^\d{1,3}([,\s\u00a0\u202f]\d{3})+$/.test(text)) return Number(text.replace(/\D/g, ""));
  return NaN;
}

// The number of the disc's last problem, asked once of the index of topics
// (main.stmp, whose ranges end "-1,264]") in a hidden frame, which answers by
// message (answerRangeProbe); null when it does not answer within five seconds.
function lastProblemNumber() {
  if (!window.lastProblemPromise) {
    window.lastProblemPromise = new Promise((resolve) => {
      const frame = document.createElement("iframe");
      frame.hidden = true;
      frame.name = "range-probe";
      frame.title = "Index of topics";
      window.addEventListener("message", (event) => {
        if (event.source !== frame.contentWindow || !event.data || !Number.isInteger(event.data.lastProblem)) return;
        frame.remove();
        resolve(event.data.lastProblem || null);
      });
      frame.src = "main.stmp";
      document.body.appendChild(frame);
      setTimeout(() => resolve(null), 5000);
    });
  }
  return window.lastProblemPromise;
}

// The index of topics opened by lastProblemNumber: tells the page that asked
// the number of the disc's last problem (0 when it shows none).
function answerRangeProbe() {
  if (window.name !== "range-probe" || parent === window) return;
  let last = 0;
  for (const cell of document.querySelectorAll("td.range")) {
    const end = /-([\d,]+)\]/.exec(cell.textContent);
    if (end) last = Math.max(last, Number(end[1].replace(/,/g, "")));
  }
  parent.postMessage({lastProblem: last}, "*");
}

// The goto box takes a problem number or a sheet code: a text with a letter
// in it opens the worksheet of that code. A number outside the disc's range
// goes straight to the "no such problem" page, which repeats it.
function goToNumberOrCode(form) {
  const text = form.elements["goto"].value.trim();
  const frame = form.target ? window.frames[form.target] : window;
  if (/[A-Za-z]/.test(text)) {
    frame.location.href = "sheet.stmp?code=" + encodeURIComponent(text);
    return false;
  }
  const number = problemNumber(text);
  lastProblemNumber().then((last) => {
    frame.location.href = number >= 1 && (last === null || number <= last)
      ? "mathgoto.stmp?goto=" + number
      : "gotoerror_h.html?goto=" + encodeURIComponent(text);
  });
  return false;
}

// The "no such problem" page: says which number was asked for and which
// numbers there are, and offers the number again to be corrected.
function finishGotoError() {
  const asked = queryItem("goto");
  const number = problemNumber(asked);
  if (asked) {
    document.getElementById("asked").textContent = "No problem has the number " +
      (Number.isNaN(number) ? "\u201c" + asked + "\u201d" : formatNumber(number));
    document.title = "No problem " + asked;
    document.getElementById("goto-again").value = asked;
    document.getElementById("goto-again").select();
  }
  lastProblemNumber().then((last) => {
    const range = document.getElementById("range");
    if (last) range.textContent = "Problem numbers run from 1 to " + formatNumber(last) + ".";
  });
}

// ------------------------------------------------------------ generator form

// The worksheet's number of problems, as the generator form was given it.
function worksheetCount(form) {
  const count = Number(form.dataset.worksheetCount);
  return Number.isInteger(count) ? count : 0;
}

// What labels an input: the texts of the elements its aria-labelledby names.
function labelOf(input) {
  return (input.getAttribute("aria-labelledby") || "").split(" ")
    .map((id) => document.getElementById(id))
    .filter((element) => element)
    .map((element) => element.textContent.trim())
    .join(", ");
}

// Checks every count against the number of problems its group offers, asks
// before a worksheet with problems on it is replaced, sends only the counts
// asked for and gives the request a fresh token, so that each press of the
// button draws a new worksheet and a reload draws none. A fault is shown in
// the form's alert line, and the first wrong count takes the focus.
function checkCreator(form) {
  const message = document.getElementById("creator-error");
  let asked = 0;
  let bad = null;
  for (const input of form.querySelectorAll("input[data-available]")) {
    const text = input.value.trim();
    const count = text === "" ? 0 : Number(text);
    const available = Number(input.dataset.available);
    const ok = Number.isInteger(count) && count >= 0 && count <= available;
    if (ok) {
      input.removeAttribute("aria-invalid");
    } else {
      input.setAttribute("aria-invalid", "true");
    }
    if (!ok && bad === null) bad = input;
    if (ok) asked += count;
  }
  if (bad !== null) {
    message.textContent = "Please ask for a whole number from 0 to " + bad.dataset.available +
      " for " + labelOf(bad) + ".";
    bad.focus();
    return false;
  }
  if (asked === 0) {
    message.textContent = "Please ask for at least one problem.";
    form.querySelector("input[data-available]").focus();
    return false;
  }
  const count = worksheetCount(form);
  if (count > 0 && !confirm("Your worksheet has " + count + (count === 1 ? " problem" : " problems") +
                            ". The random worksheet replaces " + (count === 1 ? "it" : "them") + ". Go on?")) {
    return false;
  }
  for (const input of form.querySelectorAll("input[data-available]")) {
    const text = input.value.trim();
    input.disabled = text === "" || Number(text) === 0;
  }
  form.elements["rnd"].value =
    Date.now().toString(36) + Math.random().toString(36).substring(2, 10);
  message.textContent = "";
  // Counts left out of this request come back for the next one.
  setTimeout(() => {
    for (const input of form.querySelectorAll("input[data-available]")) input.disabled = false;
  }, 0);
  return true;
}

// Adds up the counts of the statistics table per topic, per level and in all.
function totalStatistics() {
  const sums = [0, 0, 0];
  for (const row of document.querySelectorAll("tr.topic")) {
    let all = 0;
    row.querySelectorAll("td.count:not(.sum)").forEach((cell, level) => {
      const count = Number(cell.textContent.trim()) || 0;
      sums[level] += count;
      all += count;
    });
    row.querySelector("td.sum").textContent = all > 0 ? all : "";
  }
  const total = document.querySelector("tr.total");
  total.querySelectorAll("td.count:not(.sum)").forEach((cell, level) => {
    cell.textContent = sums[level];
  });
  total.querySelector("td.sum").textContent = sums[0] + sums[1] + sums[2];
}
