// A stand-in for navigator.serial, put into the page before its own script
// runs: Web Serial cannot be driven in a headless browser (requestPort()
// never settles). Its one port carries the line over a WebSocket (through
// websockify to a pseudo-terminal with the demo device behind it), or, for
// the throughput run, plays a stream made in the page. It records what the
// page asked of it, and the test pulls the port out and puts it back.
(config) => {
  const log = {opens: [], signals: [], closes: 0, firstPull: null, lastPull: null, doneAt: null};

  const channel = new MessageChannel();
  const waiting = [];
  channel.port1.onmessage = () => waiting.shift()();
  const nextTask = () => new Promise((resolve) => {
    waiting.push(resolve);
    channel.port2.postMessage(0);
  });

  class FakePort extends EventTarget {
    constructor() {
      super();
      this.plugged = true;
      this.socket = null;
      this.readable = null;
      this.writable = null;
      this.fail = null;
    }

    getInfo() {
      return {usbVendorId: 0x0403, usbProductId: 0x6001};
    }

    async open(options) {
      if (!this.plugged) throw new DOMException("The device has been lost.", "NetworkError");
      if (this.readable) throw new DOMException("The port is already open.", "InvalidStateError");
      log.opens.push(options);
      if (config.stream) return this.openStream(config.stream);
      const socket = new WebSocket(config.url);
      socket.binaryType = "arraybuffer";
      await new Promise((resolve, reject) => {
        socket.onopen = resolve;
        socket.onerror = () => reject(new DOMException("Failed to open serial port.", "NetworkError"));
      });
      this.socket = socket;
      this.readable = new ReadableStream({
        start: (controller) => {
          socket.onmessage = (event) => controller.enqueue(new Uint8Array(event.data));
          this.fail = () => controller.error(new DOMException("The device has been lost.", "NetworkError"));
          socket.onclose = () => this.fail();
        },
      });
      this.writable = new WritableStream({write: (chunk) => socket.send(chunk)});
    }

    // The throughput run: `repeat` copies of `pattern`, then `tail`, in
    // chunks of Web Serial's default buffer size, once the link settled.
    openStream({pattern, repeat, tail, settleMs}) {
      const unit = new Uint8Array(pattern);
      const total = unit.length * repeat;
      const chunk = 255;
      let sent = 0;
      let tailSent = false;
      this.readable = new ReadableStream({
        pull: async (controller) => {
          if (log.firstPull === null) {
            await new Promise((resolve) => setTimeout(resolve, settleMs));
            log.firstPull = performance.now();
          }
          await nextTask();  // as a port's reads arrive, one task each
          if (sent < total) {
            const bytes = new Uint8Array(Math.min(chunk, total - sent));
            for (let k = 0; k < bytes.length; ++k) bytes[k] = unit[(sent + k) % unit.length];
            sent += bytes.length;
            controller.enqueue(bytes);
          } else if (!tailSent) {
            tailSent = true;
            controller.enqueue(new Uint8Array(tail));
            log.lastPull = performance.now();
            requestAnimationFrame(() => requestAnimationFrame(() => { log.doneAt = performance.now(); }));
          } else {
            await new Promise(() => {});  // the line stays open and quiet
          }
        },
      }, {highWaterMark: 0});
      this.writable = new WritableStream({write: () => {}});
    }

    async setSignals(signals) {
      log.signals.push(signals);
    }

    async close() {
      log.closes++;
      this.teardown();
    }

    teardown() {
      if (this.socket) {
        this.socket.onclose = null;
        this.socket.close();
      }
      this.socket = null;
      this.readable = null;
      this.writable = null;
    }

    unplug() {
      this.plugged = false;
      if (this.fail) this.fail();
      this.teardown();
      this.dispatchEvent(new Event("disconnect"));
    }

    plug() {
      this.plugged = true;
      this.dispatchEvent(new Event("connect"));
    }
  }

  const port = new FakePort();
  const serial = new EventTarget();
  serial.requestPort = async () => port;
  serial.getPorts = async () => [port];
  Object.defineProperty(Navigator.prototype, "serial", {get: () => serial, configurable: true});
  window.fakeSerial = {log, port};
}
