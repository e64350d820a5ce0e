#include "Resources.h"

#include <objbase.h>
#include <wincodec.h>

#include <cwctype>

#include "ComRef.h"

namespace toolkit::win32 {

HINSTANCE instance() {
    return GetModuleHandleW(nullptr);
}

std::wstring resourceName(std::string_view file) {
    std::wstring name = widen(file);
    for (wchar_t& c : name) {
        c = c == L'.' ? L'_' : static_cast<wchar_t>(std::towupper(c));
    }
    return name;
}

HICON loadIcon(std::string_view file, int size) {
    return static_cast<HICON>(
        LoadImageW(instance(), resourceName(file).c_str(), IMAGE_ICON, size, size, 0));
}

HBITMAP loadPicture(std::string_view file, SIZE& size) {
    const std::wstring name = resourceName(file);
    HRSRC found = FindResourceW(instance(), name.c_str(), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance(), found) : nullptr;
    void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return nullptr;
    }
    const DWORD bytes = SizeofResource(instance(), found);

    ComRef<IWICImagingFactory> factory;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICBitmapSource> converted;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) ||
        FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(data), bytes)) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.get(), converted.put())) ||
        FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        return nullptr;
    }
    if (FAILED(converted->CopyPixels(nullptr, width * 4, width * height * 4,
                                     static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return nullptr;
    }
    size = {static_cast<LONG>(width), static_cast<LONG>(height)};
    return bitmap;
}

}  // namespace toolkit::win32
