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

// Reloads the worksheet counter of the program's window after the worksheet changed.
function refreshCounter() {
  try {
    const counter = windowFrame("counter");
    if (counter) counter.location.reload();
  } catch (e) {
    // A view that keeps the frames apart shows the count at the next visit.
  }
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

// ------------------------------------------------------------------ list page

// Opens the page-number bar and the level bar of a list page: both pages take
// the same query as the list itself. Names the topic in the heading.
function finishList() {
  document.getElementById("pages").src = "alsonaviga.stmp" + location.search;
  document.getElementById("levels").src = "problem_lent.stmp" + location.search;
  const row = document.querySelector(".row");
  if (row) {
    const code = row.dataset.topic;
    const name = topicName(code);
    const title = name ? name + " (" + code + ")" : "Topic " + code;
    document.getElementById("list-title").textContent = title;
    document.title = title;
  }
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

function finishProblem() {
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

function finishEditor() {
  // A reload must not move or remove again: the address loses its action.
  const action = queryItem("action");
  if (["remove", "moveup", "movedn", "top", "bottom", "clearall"].includes(action)) {
    try {
      history.replaceState(null, "", "edit1.stmp");
    } catch (e) {
      // Not offered for this address: a reload repeats the action, which moves once more.
    }
  }
  refreshCounter();
}

// ------------------------------------------------------------ goto box

// The goto box takes a problem number or a sheet code: a text with a letter
// in it opens the worksheet of that code.
function goToNumberOrCode(form) {
  const text = form.elements["goto"].value.trim();
  if (!/[A-Za-z]/.test(text)) return true;
  const address = "sheet.stmp?code=" + encodeURIComponent(text);
  const frame = form.target ? window.frames[form.target] : window;
  frame.location.href = address;
  return false;
}

// ------------------------------------------------------------ generator form

// Checks every count against the number of problems its group offers, sends
// only the counts asked for and gives the request a fresh token, so that each
// press of the button draws a new worksheet and a reload draws none.
function checkCreator(form) {
  const message = document.getElementById("creator-error");
  let asked = 0;
  let bad = null;
  for (const input of form.querySelectorAll("input[data-available]")) {
    const text = input.value.trim();
    const count = text === "" ? 0 : Number(text);
    const available = Number(input.dataset.available);
    const ok = Number.isInteger(count) && count >= 0 && count <= available;
    input.classList.toggle("invalid", !ok);
    if (!ok && bad === null) bad = input;
    if (ok) asked += count;
  }
  if (bad !== null) {
    message.textContent = "Please ask for a whole number between 0 and " +
      bad.dataset.available + " (" + bad.title + ").";
    bad.focus();
    return false;
  }
  if (asked === 0) {
    message.textContent = "Please ask for at least one problem.";
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
