// zezodavoru._native: the Python binding of the panel host (panel_host.h),
// of the screen snapshot and of the decoder of recordings. The pure-Python
// layer (zezodavoru/__init__.py) builds the Panel that users see on the
// _Core here: argument checks, exceptions by kind, and the waits whose
// patterns are Python's own.
//
// Every call that may wait (on the panel's lock, the link or the change
// signal) releases the GIL, so the loop thread and other Python threads run
// meanwhile; Python objects are built only once it is held again.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "image/window_image.h"
#include "keyboard/key_names.h"
#include "python/panel_host.h"
#include "record/decoder.h"
#include "record/recording_reader.h"
#include "tools/png_writer.h"
#include "zezodavoru_version.h"

namespace py = pybind11;

namespace {

// A day: any longer wait is taken as this long.
constexpr double longest_wait = 86400;

std::span<const uint8_t> byte_span(const std::string& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

py::bytes as_bytes(const std::vector<uint8_t>& codes) {
    return {reinterpret_cast<const char*>(codes.data()), codes.size()};
}

std::vector<uint8_t> key_codes(PanelHost& host, const std::string& name) {
    const std::optional<KeyPress> press = parse_key_name(name);
    if (!press) {
        throw py::value_error("unknown key name: " + py::repr(py::str(name)).cast<std::string>());
    }
    py::gil_scoped_release release;
    return host.press_codes(*press);
}

// All characters are checked before any key is translated: a text with a
// character no key types changes nothing.
std::vector<uint8_t> text_codes(PanelHost& host, const std::u32string& text) {
    std::vector<KeyPress> presses;
    for (const char32_t c : text) {
        const std::optional<KeyPress> press =
            c < 0x80 ? key_press_for_character(static_cast<char>(c)) : std::nullopt;
        if (!press) {
            throw py::value_error(
                "no key of the US layout types " +
                py::repr(py::str(py::cast(std::u32string(1, c)))).cast<std::string>());
        }
        presses.push_back(*press);
    }
    py::gil_scoped_release release;
    std::vector<uint8_t> codes;
    for (const KeyPress& press : presses) {
        const std::vector<uint8_t> more = host.press_codes(press);
        codes.insert(codes.end(), more.begin(), more.end());
    }
    return codes;
}

const char* result_kind(LinkResult result) {
    switch (result) {
        case LinkResult::ok:
            return "ok";
        case LinkResult::not_found:
            return "not_found";
        case LinkResult::permission_denied:
            return "permission_denied";
        case LinkResult::busy:
            return "busy";
        case LinkResult::bad_target:
            return "bad_target";
        case LinkResult::host_not_found:
            return "host_not_found";
        case LinkResult::refused:
            return "refused";
        case LinkResult::no_answer:
            return "no_answer";
        case LinkResult::server_closed:
            return "server_closed";
        case LinkResult::unreachable:
        case LinkResult::protocol_error:
            return "network";
        case LinkResult::not_a_serial_port:
        case LinkResult::cannot_read_settings:
        case LinkResult::cannot_configure:
        case LinkResult::cannot_start:
            break;
    }
    return "other";
}

py::object cursor_of(const ScreenSnapshot& s) {
    if (!s.display_on || s.cursor.row == 0 || s.cursor.style == ScreenCursor::Style::none) {
        return py::none();
    }
    return py::make_tuple(s.cursor.row, s.cursor.column);
}

py::list rows_of(const ScreenSnapshot& s) {
    py::list rows;
    for (const std::string& row : s.text) rows.append(py::str(row));
    return rows;
}

void save_png(const ScreenSnapshot& s, const std::filesystem::path& path, int size, int scheme) {
    if (size < 0 || size > 4) {
        throw py::value_error("size must be 1 to 4 (or 0 for the unscaled picture), not " +
                              std::to_string(size));
    }
    std::string error;
    {
        py::gil_scoped_release release;
        const WindowPicture picture =
            window_picture(s.dots, s.dot_width, s.dot_height, scheme, static_cast<uint8_t>(size));
        if (write_png(path.string(), picture.pixels, picture.width, picture.height, error)) return;
    }
    PyErr_SetString(PyExc_OSError, error.c_str());
    throw py::error_already_set();
}

// What `zezodavoru-cli decode FILE` prints for a recording: one line per
// command of its received bytes.
std::string decode_recording(const std::filesystem::path& path) {
    std::string text;
    std::string problem;
    {
        py::gil_scoped_release release;
        std::optional<RecordingSource> source = open_recording_source(path.string());
        if (!source) {
            problem = "cannot read " + path.string();
        } else {
            RecordingReader reader(std::move(*source));
            if (reader.read_header()) {
                CommandDecoder decoder([&text](const DecodedCommand& command) {
                    text += decoded_text(command);
                    text += '\n';
                });
                RecordEvent event;
                while (reader.next(event)) {
                    if (event.kind == RecordKind::rx) decoder.feed(event.bytes, event.t);
                }
                decoder.finish();
            } else {
                problem = path.string() + ": " + reader.problem();
            }
        }
    }
    if (!problem.empty()) {
        PyErr_SetString(PyExc_OSError, problem.c_str());
        throw py::error_already_set();
    }
    return text;
}

constexpr const char* screen_doc =
    R"(What the display shows at one moment: a snapshot that never changes.

Attributes:
  rows     the four rows, each a str of 20 characters (codes through the
           display's character table: ASCII as itself, the display's letters
           and symbols as their Unicode characters, custom characters 0..15
           as the circled numbers U+24EA and U+2460..U+246E)
  text     the rows joined by "\n"
  codes    the four rows as bytes of 20 character codes
  cursor   (row, column) counted from 1, or None when no cursor is shown
  display_on  False while the display is switched off
)";

constexpr const char* save_png_doc = R"(Writes the picture the window shows as a PNG file.

size is the window's size preset 1..4 (0: the unscaled 488 x 180 picture),
scheme the colour scheme (1: black on light green, any other: white on dark
blue); the file equals `zezodavoru-cli replay --png FILE --size SIZE
--scheme SCHEME` of the same bytes. The file is replaced only once the
picture is complete, a symbolic link is followed, and a directory or device
at the path is refused (OSError).)";

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The native part of zezodavoru: the panel and its screen.";
    m.attr("__version__") = ZEZ_VERSION;
    m.def("decode_recording", &decode_recording, py::arg("path"),
          "The display commands of a recording, one line each, as `zezodavoru-cli decode "
          "FILE` prints them (OSError if it cannot be read or is no recording).");

    py::class_<ScreenSnapshot>(m, "Screen", screen_doc)
        .def_property_readonly("rows", &rows_of, "The four rows, 20 characters each.")
        .def_property_readonly(
            "text", [](const ScreenSnapshot& s) { return py::str("\n").attr("join")(rows_of(s)); },
            "The four rows joined by newlines.")
        .def_property_readonly(
            "codes",
            [](const ScreenSnapshot& s) {
                py::list rows;
                for (const auto& row : s.cells) {
                    rows.append(py::bytes(reinterpret_cast<const char*>(row.data()), row.size()));
                }
                return rows;
            },
            "The four rows as bytes of 20 character codes.")
        .def_property_readonly("cursor", &cursor_of,
                               "(row, column) from 1, or None when no cursor is shown.")
        .def_property_readonly("display_on", [](const ScreenSnapshot& s) { return s.display_on; })
        .def("save_png", &save_png, py::arg("path"), py::arg("size") = 4, py::arg("scheme") = 1,
             save_png_doc)
        .def("__str__",
             [](const ScreenSnapshot& s) { return py::str("\n").attr("join")(rows_of(s)); })
        .def("__repr__", [](const ScreenSnapshot& s) {
            return "zezodavoru.Screen(rows=" + py::repr(rows_of(s)).cast<std::string>() + ")";
        });

    py::class_<PanelHost>(m, "_Core", "The panel, its loop thread and its change signal.")
        .def(py::init<>())
        .def(
            "open",
            [](PanelHost& host, const std::string& target) {
                LinkResult result;
                {
                    py::gil_scoped_release release;
                    result = host.open(target);
                }
                return py::make_tuple(result_kind(result), link_result_text(result));
            },
            "Opens a target: (kind, text) of the outcome, kind 'ok' when linked.")
        .def("close", &PanelHost::close, py::call_guard<py::gil_scoped_release>())
        .def_property_readonly("state",
                               [](const PanelHost& host) { return link_state_name(host.state()); })
        .def_property_readonly("target", &PanelHost::target)
        .def_property_readonly(
            "failure",
            [](const PanelHost& host) {
                const LinkResult result = host.failure();
                return py::make_tuple(result_kind(result), link_result_text(result));
            },
            "While lost: (kind, text) of why the latest attempt failed; kind 'ok' before one "
            "has ended.")
        .def(
            "send",
            [](PanelHost& host, const std::string& codes) {
                py::gil_scoped_release release;
                return host.send(byte_span(codes));
            },
            "Key codes to the device; False unless linked.")
        .def(
            "key_codes",
            [](PanelHost& host, const std::string& name) {
                return as_bytes(key_codes(host, name));
            },
            "The codes of a named key pressed and released (ValueError if it is no key).")
        .def(
            "text_codes",
            [](PanelHost& host, const std::u32string& text) {
                return as_bytes(text_codes(host, text));
            },
            "The codes of typing a text on the US layout (ValueError naming a character no key "
            "types).")
        .def(
            "feed",
            [](PanelHost& host, const std::string& bytes) {
                py::gil_scoped_release release;
                host.feed(byte_span(bytes));
            },
            "Device bytes as if received.")
        .def("tick", &PanelHost::tick, py::call_guard<py::gil_scoped_release>())
        .def(
            "save_session",
            [](PanelHost& host, const std::filesystem::path& path) {
                ScreenSnapshot screen;
                std::string error;
                bool saved = false;
                {
                    py::gil_scoped_release release;
                    saved = host.save_session(path.string(), screen, error);
                }
                if (!saved) {
                    PyErr_SetString(PyExc_OSError, error.c_str());
                    throw py::error_already_set();
                }
                return screen;
            },
            "Saves the session's recording; the Screen of that moment.")
        .def("screen", &PanelHost::screen, py::call_guard<py::gil_scoped_release>())
        .def("changes", &PanelHost::changes)
        .def(
            "wait_change",
            [](PanelHost& host, uint64_t seen, double seconds) {
                // NaN and negative waits are no wait.
                const double wait = seconds > 0 ? std::min(seconds, longest_wait) : 0.0;
                const auto deadline =
                    LinkClock::now() + std::chrono::duration_cast<LinkClock::duration>(
                                           std::chrono::duration<double>(wait));
                py::gil_scoped_release release;
                return host.wait_change(seen, deadline);
            },
            "Waits until the change count differs from `seen`, at most `seconds`.")
        .def(
            "quiet_for",
            [](const PanelHost& host) {
                return std::chrono::duration<double>(LinkClock::now() - host.last_arrival())
                    .count();
            },
            "Seconds since a byte last arrived.")
        .def_property_readonly("received", &PanelHost::received)
        .def_property_readonly("sent", &PanelHost::sent);
}
