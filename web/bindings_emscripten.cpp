// The page's bindings: the web panel (web_panel.h) as the JavaScript class
// Module.WebPanel. Thin on purpose: each function passes its arguments on;
// byte buffers cross as views onto the module's memory (the staging buffer,
// the picture) or as a copied Uint8Array (the key codes to write).
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>

#include "web/web_panel.h"
#include "zezodavoru_version.h"

namespace {

using emscripten::val;

// "linked" when the target opened, else the reason in the programs' words.
std::string open_target(WebPanel& page, const std::string& target) {
    return link_result_text(page.open(target));
}

void port_opened(WebPanel& page) {
    page.port().opened();
}

void port_gone(WebPanel& page) {
    page.port().gone();
}

// `ask` is called when the link tries the page's line while it is away.
void set_reopen(WebPanel& page, val ask) {
    page.port().set_reopen_hook([ask] { ask(); });
}

val input_view(WebPanel& page) {
    const std::span<uint8_t> input = page.input();
    return val(emscripten::typed_memory_view(input.size(), input.data()));
}

void received(WebPanel& page, size_t count) {
    page.received(count);
}

val take_output(WebPanel& page) {
    const std::vector<uint8_t> codes = page.take_output();
    return val::global("Uint8Array")
        .new_(val(emscripten::typed_memory_view(codes.size(), codes.data())));
}

// The code sent for the key, 0 for none, -1 for a key the panel does not
// take.
int key_event(WebPanel& page, const std::string& code, const std::string& key, bool shift,
              bool ctrl, bool alt, bool pressed) {
    bool known = false;
    const uint8_t sent = page.key(code, key, {shift, ctrl, alt}, pressed, known);
    return known ? sent : -1;
}

void service(WebPanel& page) {
    page.service();
}

int wait_ms(const WebPanel& page) {
    return page.wait_ms();
}

int link_state(const WebPanel& page) {
    return static_cast<int>(page.link_state());
}

void set_size(WebPanel& page, int size) {
    if (size >= 1 && size <= 4) page.set_size(static_cast<uint8_t>(size));
}

val paint(WebPanel& page) {
    const std::vector<uint8_t>& picture = page.paint();
    return val(emscripten::typed_memory_view(picture.size(), picture.data()));
}

std::string version() {
    return ZEZ_VERSION;
}

}  // namespace

EMSCRIPTEN_BINDINGS(zezodavoru) {
    emscripten::function("version", &version);
    emscripten::class_<WebPanel>("WebPanel")
        .constructor<>()
        .function("open", &open_target)
        .function("close", &WebPanel::close)
        .function("linkState", &link_state)
        .function("linkText", &WebPanel::link_text)
        .function("portOpened", &port_opened)
        .function("portGone", &port_gone)
        .function("setReopen", &set_reopen)
        .function("input", &input_view)
        .function("received", &received)
        .function("takeOutput", &take_output)
        .function("key", &key_event)
        .function("service", &service)
        .function("waitMs", &wait_ms)
        .function("setScheme", &WebPanel::set_scheme)
        .function("setSize", &set_size)
        .function("width", &WebPanel::width)
        .function("height", &WebPanel::height)
        .function("repaintWanted", &WebPanel::repaint_wanted)
        .function("paint", &paint);
}
