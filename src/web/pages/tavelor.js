// tavelor.js: the stream for instrument pages. Tavelor.open() subscribes to panel replies and
// keeps every element carrying data-field="NAME" showing that field as the pilot reads it;
// data-scale multiplies the number (HSI's heading comes in hundredths of a degree: 0.01), and
// data-format says how to write it: a digit for that many decimals, or one of the formats below.
// Which reply a field belongs to: the nearest data-code=CODE around it, else the page's first.
// A page names its replies there, once: open() subscribes to every code the page's data-code
// attributes name, and hands each reply to the page's handler for that code.
"use strict";

const Tavelor = (() => {
  const signedByte = (v) => (v > 127 ? v - 256 : v);  // needles go out as 0 to 255
  const pad = (v, n) => String(Math.round(Math.abs(v))).padStart(n, "0");
  // Degrees and minutes, rounded to hundredths of a minute first, so that 40.99999 is 41°00.00'
  // and never 40°60.00'.
  const degreesMinutes = (v, width, north, south) => {
    const hundredths = Math.round(Math.abs(v) * 6000);
    const minutes = ((hundredths % 6000) / 100).toFixed(2).padStart(5, "0");
    return `${v < 0 && hundredths > 0 ? south : north}${pad(Math.floor(hundredths / 6000), width)}°${minutes}'`;
  };
  const formats = {
    heading: (v) => pad(((Math.round(v) % 360) + 360) % 360 || 360, 3),  // 000 shows as 360
    signed: (v) => (Math.round(v) > 0 ? "+" : Math.round(v) < 0 ? "-" : "") + Math.abs(Math.round(v)),
    // Seconds as m:ss, rounded first (59.6 is 1:00); a time past (a waypoint behind) as -m:ss.
    clock: (v) => {
      const seconds = Math.round(Math.abs(v));
      return `${v < 0 && seconds > 0 ? "-" : ""}${Math.floor(seconds / 60)}:${pad(seconds % 60, 2)}`;
    },
    needle: (v) => String(signedByte(v)),
    lat: (v) => degreesMinutes(v, 2, "N", "S"),
    lon: (v) => degreesMinutes(v, 3, "E", "W"),
    id: (t) => t.replace(/^[\s-]+|[\s-]+$/g, ""),  // identifiers come padded with '-' or blanks
    // A clock's "hhmm" or "hhmmss" as the pilot reads it: "14:00", "14:00:05".
    time: (t) => t.trim().replace(/^(\d\d)(\d\d)(\d\d)?$/, (_, h, m, s) => (s ? `${h}:${m}:${s}` : `${h}:${m}`)),
    text: (t) => t.trim(),
  };
  // The formats above that write numbers: a text field is shown as a text whatever they say (a
  // transponder code of "7000" is not a heading of 160). A page's own formats get texts too.
  const numberFormats = new Set(["heading", "signed", "clock", "needle", "lat", "lon"]);

  // The text an element shows for a field's value.
  function show(element, value) {
    const format = element.dataset.format;
    if (value === null || value === undefined) return "---";
    if (typeof value === "string") return (numberFormats.has(format) ? formats.text : formats[format] || formats.text)(value);
    const v = value * Number(element.dataset.scale || 1);
    if (formats[format]) return formats[format](v);
    if (/^\d$/.test(format || "")) return v.toFixed(Number(format));
    return String(Math.round(v));
  }

  // Every [data-field] element of the page with the code it belongs to.
  function bindings(defaultCode) {
    return [...document.querySelectorAll("[data-field]")].map((element) => {
      const scope = element.closest("[data-code]");
      return { element, code: scope ? scope.dataset.code : defaultCode };
    });
  }

  function setLink(state) {
    document.body.dataset.server = state;  // for styles: body[data-server="up"]
    for (const e of document.querySelectorAll("[data-link]")) e.textContent = state;
  }

  // The codes the page's data-code attributes name, in the page's order.
  function pageCodes() {
    return [...new Set([...document.querySelectorAll("[data-code]")].map((e) => e.dataset.code))];
  }

  // Opens the stream: `codes` are panel replies (by default every one the page names in a
  // data-code), `hz` how often each comes (at most 20); onReply(message) gets each reply after
  // the page's fields were updated, or, when it is an object, its handler of that code does
  // ({ PFD(message) {...}, FGP(message) {...} }). Returns { send(text) }: a request, resolving to
  // {ok, error} once the panel server has handled it; and replay(command): "pause", "on" or the
  // moment to jump to, in seconds, when the stand-in replays a recording. onReplay({at, length,
  // playing}) hears where the replay is, once a second, and onReplay(null) that there is none.
  function open({ codes = pageCodes(), hz = 10, onReply = () => {}, onLink = () => {}, onReplay = () => {} }) {
    const handle = typeof onReply === "function" ? onReply : (m) => onReply[m.code] && onReply[m.code](m);
    const url = `${location.protocol === "https:" ? "wss" : "ws"}://${location.host}/stream`;
    const waiting = new Map();
    let socket;
    let nextId = 1;
    const bound = bindings(codes[0]);  // elements a page adds must be there before open()

    const link = (state) => {
      setLink(state);
      onLink(state);
    };
    function connect() {
      socket = new WebSocket(url);
      socket.onopen = () => codes.length && socket.send(JSON.stringify({ subscribe: codes, hz }));
      socket.onmessage = (event) => {
        const message = JSON.parse(event.data);
        if (message.code) {
          for (const { element, code } of bound) {
            if (code !== message.code || !(element.dataset.field in message.fields)) continue;
            const text = show(element, message.fields[element.dataset.field]);
            if (element.textContent !== text) element.textContent = text;
          }
          handle(message);
        } else if (message.link) {
          link(message.link);
        } else if (message.sent !== undefined && waiting.has(message.id)) {
          waiting.get(message.id)(message);
          waiting.delete(message.id);
        } else if (message.replay !== undefined) {
          onReplay(message.replay);
        } else if (message.error) {
          console.warn("tavelor-web:", message.error);
        }
      };
      socket.onclose = () => {
        link("offline");  // tavelor-web itself is out of reach; it is asked again each second
        onReplay(null);
        for (const resolve of waiting.values()) resolve({ ok: false, error: "the stream closed" });
        waiting.clear();
        setTimeout(connect, 1000);
      };
    }
    connect();
    return {
      send(text) {
        return new Promise((resolve) => {
          if (socket.readyState !== WebSocket.OPEN) return resolve({ ok: false, error: "not connected" });
          const id = nextId++;
          waiting.set(id, resolve);
          socket.send(JSON.stringify({ send: text, id }));
        });
      },
      replay(command) {
        if (socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify({ replay: command }));
      },
    };
  }

  // An SVG element with attributes, appended to `parent` when given.
  function svg(tag, attributes = {}, parent = null) {
    const element = document.createElementNS("http://www.w3.org/2000/svg", tag);
    for (const [name, value] of Object.entries(attributes)) element.setAttribute(name, value);
    if (parent) parent.appendChild(element);
    return element;
  }

  return { open, show, formats, signedByte, svg };
})();
