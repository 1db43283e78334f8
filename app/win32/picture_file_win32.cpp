// PNG pictures through the Windows Imaging Component (picture_file.h). The
// encoder writes into a stream on memory, so that the output file alone
// decides where the bytes go; its factory is reached through COM (ole32),
// so that the program imports no imaging DLL of its own. The window's
// thread is a single-threaded apartment, as the common dialogs want it
// too; the apartment is entered for the encoding and left after it.
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "app/win32/picture_file.h"
#include "record/output_file.h"

namespace {

// A COM interface, released when it goes out of scope.
template <class Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    Interface** out() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

// COM on this thread while it lives. A thread already in an apartment of
// the other kind may use COM all the same.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// The picture's pixels (0x00RRGGBB) as rows of blue, green and red bytes.
std::vector<BYTE> bgr_rows(const WindowPicture& picture) {
    std::vector<BYTE> rows;
    rows.reserve(picture.pixels.size() * 3);
    for (const uint32_t pixel : picture.pixels) {
        rows.push_back(static_cast<BYTE>(pixel & 0xFF));
        rows.push_back(static_cast<BYTE>((pixel >> 8) & 0xFF));
        rows.push_back(static_cast<BYTE>((pixel >> 16) & 0xFF));
    }
    return rows;
}

// Encodes the picture into `stream`.
bool encode(IWICImagingFactory* factory, IStream* stream, const WindowPicture& picture) {
    ComPointer<IWICBitmapEncoder> encoder;
    ComPointer<IWICBitmapFrameEncode> frame;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
        FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.out(), nullptr)) ||
        FAILED(frame->Initialize(nullptr))) {
        return false;
    }
    const auto width = static_cast<UINT>(picture.width);
    const auto height = static_cast<UINT>(picture.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        return false;
    }
    std::vector<BYTE> rows = bgr_rows(picture);
    return SUCCEEDED(frame->WritePixels(height, width * 3, static_cast<UINT>(rows.size()),
                                        rows.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The PNG file's bytes, or false.
bool encode_png(const WindowPicture& picture, std::vector<uint8_t>& png) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height) {
        return false;
    }
    const ComApartment apartment;
    if (!apartment.usable()) return false;
    ComPointer<IWICImagingFactory> factory;
    ComPointer<IStream> stream;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.out()))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) ||
        !encode(factory.get(), stream.get(), picture)) {
        return false;
    }
    STATSTG written{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&written, STATFLAG_NONAME)) ||
        FAILED(GetHGlobalFromStream(stream.get(), &memory))) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
    if (bytes == nullptr) return false;
    png.assign(bytes, bytes + written.cbSize.QuadPart);
    GlobalUnlock(memory);
    return true;
}

}  // namespace

bool write_png_file(const std::string& path, const WindowPicture& picture, std::string& error) {
    std::vector<uint8_t> png;
    if (!encode_png(picture, png)) {
        error = "the picture cannot be encoded";
        return false;
    }
    OutputFile file;
    if (file.open(path) && file.write(png.data(), png.size()) && file.commit()) return true;
    error = file.error();
    return false;
}
