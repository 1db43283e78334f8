// The page's script: the line transports (Web Serial, WebSocket), the timer,
// the keys and the canvas around the panel of the module (Module.WebPanel).
// The panel keeps the link policy, the clock, the keys' codes and the
// picture; this script only moves bytes, waits and paints: its one timer
// waits until the panel's next deadline and then services the panel, and
// it paints once per animation frame when the panel asks for a repaint.
"use strict";

var Module = (function () {
  const SERIAL_OPTIONS = {baudRate: 19200, dataBits: 8, parity: "none", stopBits: 1,
                          flowControl: "none"};
  const $ = (id) => document.getElementById(id);
  const canvas = $("glass");
  const context = canvas.getContext("2d");
  const params = new URLSearchParams(location.search);
  // What a test or a curious user can read from the console.
  const status = {ready: false, paints: 0, firstPicture: null, sent: [], serial: null};
  window.zezodavoru = status;

  let panel = null;
  let line = null;  // the transport of the page's own line, if one is open
  let paintAsked = false;
  let timer = null;  // the wait for the panel's next deadline

  // ---- Painting

  function askPaint() {
    if (paintAsked || !panel.repaintWanted()) return;
    paintAsked = true;
    requestAnimationFrame(paint);
  }

  function paint() {
    paintAsked = false;
    const width = panel.width();
    const height = panel.height();
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const view = panel.paint();
    const pixels = new Uint8ClampedArray(view.buffer, view.byteOffset, view.length);
    context.putImageData(new ImageData(pixels, width, height), 0, 0);
    status.paints++;
    if (status.firstPicture === null && panel.linkState() !== 0) {
      status.firstPicture = performance.now();
    }
  }

  // ---- The link's state beside the picture

  function showState() {
    $("link-state").textContent = panel.linkText();
  }

  function showError(text) {
    $("link-error").textContent = text;
  }

  // ---- Bytes in and key codes out

  function received(bytes) {
    const input = panel.input();
    for (let offset = 0; offset < bytes.length; offset += input.length) {
      const batch = bytes.subarray(offset, offset + input.length);
      panel.input().set(batch);
      panel.received(batch.length);
    }
    askPaint();
    schedule();
  }

  function flushOutput() {
    const codes = panel.takeOutput();
    if (codes.length > 0 && line) line.write(codes);
  }

  // ---- Transports

  // A serial port through Web Serial: opened at the device's settings with
  // DTR and RTS off, as the programs open it; read until it goes.
  class SerialLine {
    constructor(port) {
      this.port = port;
      this.reader = null;
      this.writer = null;
      this.onDisconnect = () => this.gone();
      this.onConnect = () => this.reopen();
      port.addEventListener("disconnect", this.onDisconnect);
      port.addEventListener("connect", this.onConnect);
    }

    async open() {
      await this.port.open(SERIAL_OPTIONS);
      await this.port.setSignals({dataTerminalReady: false, requestToSend: false});
      this.writer = this.port.writable.getWriter();
      panel.portOpened();
      this.reader = this.port.readable.getReader();
      this.read(this.reader);
    }

    async read(reader) {
      try {
        for (;;) {
          const {value, done} = await reader.read();
          if (done) break;
          if (value && value.length) received(value);
        }
      } catch (error) {
        // The port went away (its 'disconnect' follows) or was closed.
      }
      try {
        reader.releaseLock();
      } catch (error) {
        // Already let go by close().
      }
      if (this.reader === reader) this.reader = null;
      if (line === this) this.gone();
    }

    write(codes) {
      if (this.writer) this.writer.write(codes).catch(() => {});
    }

    gone() {
      if (this.writer) {
        this.writer.releaseLock();
        this.writer = null;
      }
      panel.portGone();
      serve();
    }

    // The port is back: the link finds it open at its next try.
    async reopen() {
      if (line !== this || panel.linkState() !== 2) return;
      try {
        await this.open();
      } catch (error) {
        showError("The serial port came back but could not be opened: " + error.message);
      }
    }

    // Called by the link while the line is away: the port's return is
    // what opens it again.
    retry() {}

    // The streams must be let go before the port closes.
    async close() {
      this.port.removeEventListener("disconnect", this.onDisconnect);
      this.port.removeEventListener("connect", this.onConnect);
      const reader = this.reader;
      this.reader = null;
      if (reader) {
        await reader.cancel().catch(() => {});
        reader.releaseLock();
      }
      if (this.writer) this.writer.releaseLock();
      this.writer = null;
      await this.port.close().catch(() => {});
    }
  }

  // A WebSocket carrying the line's bytes both ways (websockify in front
  // of a serial port or a raw TCP port).
  class WebSocketLine {
    constructor(url) {
      this.url = url;
      this.socket = null;
    }

    open() {
      return new Promise((resolve, reject) => {
        const socket = new WebSocket(this.url);
        socket.binaryType = "arraybuffer";
        this.socket = socket;
        socket.onopen = () => {
          panel.portOpened();
          resolve();
        };
        socket.onerror = () => reject(new Error("cannot reach " + this.url));
        socket.onmessage = (event) => {
          if (this.socket !== socket) return;
          const data = event.data;
          if (typeof data === "string") {
            received(new TextEncoder().encode(data));
          } else {
            received(new Uint8Array(data));
          }
        };
        socket.onclose = () => {
          if (this.socket !== socket) return;
          this.socket = null;
          panel.portGone();
          serve();
        };
      });
    }

    write(codes) {
      if (this.socket && this.socket.readyState === WebSocket.OPEN) this.socket.send(codes);
    }

    // Called by the link while the line is away: one more try at a time.
    retry() {
      if (this.socket) return;
      this.open().catch(() => {});
    }

    close() {
      const socket = this.socket;
      this.socket = null;
      if (socket) socket.close();
    }
  }

  // ---- Opening targets

  async function closeLine() {
    panel.close();
    const closing = line;
    line = null;
    showState();
    if (closing) await closing.close();
  }

  async function openTarget(target, makeLine) {
    await closeLine();
    showError("");
    try {
      if (makeLine) {
        line = await makeLine();
        await line.open();
      }
      const result = panel.open(target);
      if (result !== "linked") throw new Error(result);
    } catch (error) {
      await closeLine();
      showError("Cannot link to " + target + ": " + error.message);
    }
    showState();
    askPaint();
    schedule();
    canvas.focus();
  }

  function serialPortFrom(choose) {
    return async () => {
      if (!("serial" in navigator)) {
        throw new Error("this browser has no Web Serial (use Chrome, Edge or Opera on a desktop)");
      }
      const port = await choose();
      if (!port) throw new Error("no serial port was allowed to this page before");
      return new SerialLine(port);
    };
  }
  const requestedPort = serialPortFrom(() => navigator.serial.requestPort());
  const grantedPort = serialPortFrom(async () => (await navigator.serial.getPorts())[0]);

  function openUrlTarget(target) {
    if (target === "demo") return openTarget("demo", null);
    if (target === "serial") return openTarget("serial", grantedPort);
    if (/^wss?:\/\//.test(target)) {
      $("ws-url").value = target;
      return openTarget(target, async () => new WebSocketLine(target));
    }
    showError("Unknown target " + target + ": use demo, serial or ws://host:port");
  }

  // ---- Keys

  function onKey(event, pressed) {
    if (event.isComposing) return;
    const code = panel.key(event.code, event.key, event.shiftKey, event.ctrlKey, event.altKey,
                           pressed);
    if (code < 0) return;
    event.preventDefault();
    if (code > 0) {
      status.sent.push(code);
      flushOutput();
      askPaint();
      schedule();
    }
  }

  // ---- The timer: the panel's loop

  function serve() {
    panel.service();
    flushOutput();
    showState();
    askPaint();
    schedule();
  }

  // Waits anew for the panel's next deadline (its tick, or the link's).
  function schedule() {
    if (timer !== null) clearTimeout(timer);
    timer = setTimeout(() => {
      timer = null;
      serve();
    }, panel.waitMs());
  }

  // ---- Fullscreen and the Keyboard Lock

  async function fullscreen() {
    try {
      await $("panel").requestFullscreen();
      if (navigator.keyboard && navigator.keyboard.lock) await navigator.keyboard.lock();
    } catch (error) {
      showError("Fullscreen is not available: " + error.message);
    }
    canvas.focus();
  }

  // ---- Start

  function start() {
    panel = new Module.WebPanel();
    $("version").textContent = Module.version();
    panel.setReopen(() => {
      if (line) line.retry();
    });
    const size = Number(params.get("size") || 4);
    const scheme = Number(params.get("scheme") || 1);
    panel.setSize(size);
    panel.setScheme(scheme);
    $("size").value = String(size >= 1 && size <= 4 ? size : 4);
    $("scheme").value = scheme === 1 ? "1" : "0";

    canvas.addEventListener("keydown", (event) => onKey(event, true));
    canvas.addEventListener("keyup", (event) => onKey(event, false));
    $("connect-serial").disabled = !("serial" in navigator);
    $("connect-serial").title = "serial" in navigator ? "" : "This browser has no Web Serial";
    $("connect-serial").onclick = () => openTarget("serial", requestedPort);
    $("connect-demo").onclick = () => openTarget("demo", null);
    $("connect-ws").onclick = () => openUrlTarget($("ws-url").value.trim());
    $("disconnect").onclick = () => closeLine();
    $("size").onchange = () => { panel.setSize(Number($("size").value)); askPaint(); };
    $("scheme").onchange = () => { panel.setScheme(Number($("scheme").value)); askPaint(); };
    $("fullscreen").onclick = fullscreen;
    schedule();

    showState();
    askPaint();
    canvas.focus();
    status.ready = true;
    const target = params.get("target");
    if (target) openUrlTarget(target);
  }

  return {onRuntimeInitialized: start};
})();
