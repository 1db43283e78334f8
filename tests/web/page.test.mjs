// The web page in headless Chromium (the system's, driven by Playwright):
// the demo device's screen against the command-line tool's picture, the
// single-file page from file://, keys to codes through a WebSocket to a
// pseudo-terminal, the Web Serial path through a stand-in port (its open
// options and signals, a disconnect and a return), and the throughput of
// one-byte repaint commands with the page painting once per frame.
//
// Usage: node --test page.test.mjs, with ZEZ_WEB (build/wasm/web) and
// ZEZ_CLI (the native zezodavoru-cli) in the environment.
import {after, before, test} from "node:test";
import assert from "node:assert/strict";
import {execFileSync, spawn} from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import {chromium} from "playwright-core";

const WEB = path.resolve(process.env.ZEZ_WEB);
const CLI = path.resolve(process.env.ZEZ_CLI);
const work = fs.mkdtempSync(path.join(os.tmpdir(), "zez-web-"));
const fakeSerial = fs.readFileSync(new URL("./fake_serial.js", import.meta.url), "utf8");
const LINE_RATE = 1920;  // bytes a second of a 19200-baud 8N1 line
// Pixel rows of display rows 2-4 at size 4: text row i starts at dot row 9i,
// a dot is 4 pixels high, and rows 2-4 end with dot row 35.
const ROWS_2_TO_4 = [36, 144];

const children = [];
let browser;
let server;
let base;

function spawnChild(command, args, options = {}) {
  const child = spawn(command, args, {stdio: ["ignore", "ignore", "inherit"], ...options});
  children.push(child);
  return child;
}

async function freePort() {
  const probe = net.createServer();
  await new Promise((resolve) => probe.listen(0, "127.0.0.1", resolve));
  const {port} = probe.address();
  await new Promise((resolve) => probe.close(resolve));
  return port;
}

async function waitFor(what, check, seconds = 10) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error("timed out waiting for " + what);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// Whether a TCP port listens on 127.0.0.1, from the kernel's table (a
// probe connection would be taken by a one-shot socat as its client).
function listening(port) {
  const local = `0100007F:${port.toString(16).toUpperCase().padStart(4, "0")}`;
  return fs.readFileSync("/proc/net/tcp", "utf8").split("\n")
      .some((row) => row.trim().split(/\s+/)[1] === local && row.trim().split(/\s+/)[3] === "0A");
}

// websockify on a free port in front of `target` (a TCP port); its port.
async function websockify(target) {
  const port = await freePort();
  spawnChild("websockify", [`127.0.0.1:${port}`, `127.0.0.1:${target}`],
             {stdio: "ignore"});
  await waitFor("websockify", () => listening(port));
  return port;
}

// The picture `replay --png` draws of a stream, as base64 PNG.
function replayPng(streamArgs, name) {
  const png = path.join(work, name + ".png");
  const hex = execFileSync(CLI, ["demo", ...streamArgs, "--hex"]);
  execFileSync(CLI, ["replay", "--hex", "--size", "4", "--scheme", "1", "--png", png],
               {input: hex});
  return fs.readFileSync(png).toString("base64");
}

// Differing bytes between the page's canvas and a PNG over pixel rows
// [y0, y1); -1 when the sizes differ.
async function canvasDiff(page, png, [y0, y1]) {
  return page.evaluate(async ({png, y0, y1}) => {
    const image = new Image();
    image.src = "data:image/png;base64," + png;
    await image.decode();
    const glass = document.getElementById("glass");
    if (glass.width !== image.width || glass.height !== image.height) return -1;
    const scratch = new OffscreenCanvas(image.width, image.height).getContext("2d");
    scratch.drawImage(image, 0, 0);
    const want = scratch.getImageData(0, y0, image.width, y1 - y0).data;
    const got = glass.getContext("2d").getImageData(0, y0, image.width, y1 - y0).data;
    let differing = 0;
    for (let k = 0; k < want.length; ++k) if (want[k] !== got[k]) ++differing;
    return differing;
  }, {png, y0, y1});
}

async function showsRows(page, png, seconds = 8) {
  await waitFor("the page to show the expected rows 2-4",
                async () => (await canvasDiff(page, png, ROWS_2_TO_4)) === 0, seconds);
}

async function rowsPicture(page) {
  return page.evaluate(([y0, y1]) => Array.from(document.getElementById("glass")
      .getContext("2d").getImageData(0, y0, 498, y1 - y0).data).join(","), ROWS_2_TO_4);
}

async function linkText(page) {
  return page.locator("#link-state").textContent();
}

async function openPage(url, init) {
  const context = await browser.newContext();
  const page = await context.newPage();
  page.on("pageerror", (error) => console.error("page error:", error.message));
  if (init) await page.addInitScript({content: `(${fakeSerial})(${JSON.stringify(init)});`});
  await page.goto(url);
  await page.waitForFunction(() => window.zezodavoru && window.zezodavoru.ready);
  return page;
}

let demoPng;

before(async () => {
  server = http.createServer((request, response) => {
    const name = path.join(WEB, path.normalize(new URL(request.url, "http://x").pathname));
    const types = {".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm"};
    fs.readFile(name, (error, data) => {
      if (error) { response.writeHead(404); response.end(); return; }
      response.writeHead(200, {"Content-Type": types[path.extname(name)] || "application/octet-stream"});
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  base = `http://127.0.0.1:${server.address().port}`;
  // Headless, with a fresh profile of Playwright's own for each launch;
  // nothing is downloaded: the system's Chromium runs.
  browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  demoPng = replayPng(["--stream", "3"], "demo");
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
  for (const child of children) child.kill();
  fs.rmSync(work, {recursive: true, force: true});
});

test("the demo device's screen as replay draws it, and an arrow moves its marker", async () => {
  const page = await openPage(`${base}/index.html?target=demo&size=4&scheme=1`);
  await showsRows(page, demoPng);
  assert.equal(await linkText(page), "linked to demo");
  const firstPicture = await page.evaluate(() => window.zezodavoru.firstPicture);
  console.log(`first picture ${firstPicture.toFixed(0)} ms after the page began loading`);

  const menu = await rowsPicture(page);
  await page.keyboard.press("ArrowDown");
  await waitFor("the marker to move", async () => (await rowsPicture(page)) !== menu, 3);
  await page.keyboard.press("ArrowUp");
  await showsRows(page, demoPng, 3);
  assert.deepEqual(await page.evaluate(() => window.zezodavoru.sent), [0xE3, 0xE2]);
  await page.context().close();
});

test("the single-file page opens from file:// with the demo device", async () => {
  const page = await openPage(`file://${WEB}/zezodavoru.html?target=demo&size=4&scheme=1`);
  await showsRows(page, demoPng);
  await page.context().close();
});

test("a WebSocket line to a pseudo-terminal: a stream dot for dot, keys as codes", async () => {
  const tcp = await freePort();
  const device = path.join(work, "ws-line");
  spawnChild("socat", [`TCP-LISTEN:${tcp},bind=127.0.0.1,reuseaddr`,
                       `PTY,link=${device},rawer`]);
  await waitFor("socat", () => listening(tcp));
  const ws = await websockify(tcp);
  const page = await openPage(`${base}/index.html?target=ws://127.0.0.1:${ws}&size=4&scheme=1`);
  await waitFor("the link", async () => (await linkText(page)) === `linked to ws://127.0.0.1:${ws}`);
  await waitFor("the pseudo-terminal", () => fs.existsSync(device));
  const far = spawnChild("socat", ["-", `FILE:${device},rawer`], {stdio: ["pipe", "pipe", "inherit"]});
  const arrived = [];
  far.stdout.on("data", (data) => arrived.push(...data));
  await new Promise((resolve) => setTimeout(resolve, 600));  // the link settles 400 ms

  const args = ["--stream", "4", "--seed", "7"];
  far.stdin.write(execFileSync(CLI, ["demo", ...args]));
  await showsRows(page, replayPng(args, "ws"));

  const keys = [["KeyA", 0x41], ["Shift+Digit1", 0x21], ["Control+ArrowUp", 0xF0],
                ["F10", 0xB9], ["Shift+F10", 0xD1], ["Enter", 0xE9], ["NumpadMultiply", 0x4A],
                ["Backquote", 0x60]];
  for (const [key] of keys) await page.keyboard.press(key);
  const expected = keys.map(([, code]) => code);
  await waitFor("the key codes at the far end", () => arrived.length >= expected.length, 5);
  assert.deepEqual(arrived, expected);
  await page.context().close();
});

test("Web Serial: open options, signals, a disconnect and a return", async () => {
  const tcp = await freePort();
  // Each connection gets its own demo device on a fresh pseudo-terminal.
  spawnChild("socat", [`TCP-LISTEN:${tcp},bind=127.0.0.1,reuseaddr,fork`,
                       `EXEC:${CLI} demo /dev/stdin,pty,rawer`]);
  await waitFor("socat", () => listening(tcp));
  const ws = await websockify(tcp);
  const page = await openPage(`${base}/index.html?size=4&scheme=1`,
                              {url: `ws://127.0.0.1:${ws}`});
  await page.click("#connect-serial");
  await waitFor("the link", async () => (await linkText(page)) === "linked to serial");
  const log = await page.evaluate(() => window.fakeSerial.log);
  assert.deepEqual(log.opens, [{baudRate: 19200, dataBits: 8, parity: "none", stopBits: 1,
                                flowControl: "none"}]);
  assert.deepEqual(log.signals, [{dataTerminalReady: false, requestToSend: false}]);
  // The demo redraws its screen every two seconds while no key comes.
  await showsRows(page, demoPng);

  await page.evaluate(() => window.fakeSerial.port.unplug());
  await waitFor("the loss", async () => (await linkText(page)) === "link lost: serial", 3);
  await page.evaluate(() => window.fakeSerial.port.plug());
  await waitFor("the return", async () => (await linkText(page)) === "linked to serial", 3);
  assert.equal((await page.evaluate(() => window.fakeSerial.log)).opens.length, 2);
  const menu = await rowsPicture(page);
  await page.keyboard.press("ArrowDown");
  await waitFor("the device's answer to a key", async () => (await rowsPicture(page)) !== menu, 5);
  await page.context().close();
});

test("one-byte repaint commands, painted once per frame", async () => {
  // Scrolls and backspaces, each asking for a repaint, then a row of text.
  const pattern = [0x91, 0x90, 0x9C, 0x92];
  const repeat = 250000;
  const tail = [0x8C, 0x02, ...Buffer.from("end of the stream   ")];
  const stream = path.join(work, "repaints.bin");
  const bytes = Buffer.alloc(pattern.length * repeat);
  for (let k = 0; k < bytes.length; ++k) bytes[k] = pattern[k % pattern.length];
  fs.writeFileSync(stream, Buffer.concat([bytes, Buffer.from(tail)]));
  const png = path.join(work, "repaints.png");
  execFileSync(CLI, ["replay", "--size", "4", "--scheme", "1", "--png", png, stream]);

  const page = await openPage(`${base}/index.html?size=4&scheme=1`,
                              {stream: {pattern, repeat, tail, settleMs: 600}});
  const paintsBefore = await page.evaluate(() => window.zezodavoru.paints);
  await page.click("#connect-serial");
  await waitFor("the stream", () => page.evaluate(() => window.fakeSerial.log.doneAt), 60);
  await showsRows(page, fs.readFileSync(png).toString("base64"), 3);
  const log = await page.evaluate(() => window.fakeSerial.log);
  const paints = (await page.evaluate(() => window.zezodavoru.paints)) - paintsBefore;
  const seconds = (log.doneAt - log.firstPull) / 1000;
  const rate = (bytes.length + tail.length) / seconds;
  console.log(`one-byte repaint commands: ${bytes.length + tail.length} bytes in ` +
              `${seconds.toFixed(2)} s, ${paints} paints: ${Math.round(rate)} bytes/s, ` +
              `${Math.round(rate / LINE_RATE)} x the line`);
  assert.ok(rate >= 100 * LINE_RATE, `${rate} bytes/s is under 100 times the line`);
  await page.context().close();
});
