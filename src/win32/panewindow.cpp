#include "win32/panewindow.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/messages.h"
#include "preview/image.h"
#include "win32/widetext.h"

namespace quillomar::win32 {

namespace {

constexpr wchar_t kClassName[] = L"QuillomarPane";
constexpr int kTextId = 1;
constexpr int kMargin = 2;

// A COM interface pointer released when it goes.
template <typename T>
struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p != nullptr) p->Release();
    }
    T* operator->() const { return p; }
};

struct Pane {
    HWND window = nullptr;
    HWND text = nullptr;
    HFONT fixedFont = nullptr;
    PaneContent::Kind kind = PaneContent::Kind::Empty;
    std::wstring message;
    std::wstring caption;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // alpha already blended over the window's colour
};

Pane* paneOf(HWND window) { return reinterpret_cast<Pane*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

// The picture's pixels over the window's colour, since GDI draws no alpha.
std::vector<std::uint32_t> blended(const std::vector<std::uint32_t>& pixels) {
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    const std::uint32_t under[3] = {GetRValue(background), GetGValue(background), GetBValue(background)};
    std::vector<std::uint32_t> out(pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t a = p >> 24;
        const auto mix = [&](int shift, std::uint32_t base) {
            return (((p >> shift) & 0xFF) * a + base * (255 - a) + 127) / 255;
        };
        out[i] = 0xFF000000u | (mix(16, under[0]) << 16) | (mix(8, under[1]) << 8) | mix(0, under[2]);
    }
    return out;
}

// The first frame of a BMP, PNG, JPEG or GIF as 0xAARRGGBB pixels; false when the imaging
// component cannot read it or it is larger than any picture the pane shows.
bool decodeWithImaging(const std::vector<std::byte>& bytes, int& width, int& height,
                       std::vector<std::uint32_t>& pixels) {
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return false;
    Com<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory.p)))) {
        return false;
    }
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT w = 0;
    UINT h = 0;
    if (FAILED(factory->CreateStream(&stream.p)) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<std::byte*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder.p)) ||
        FAILED(decoder->GetFrame(0, &frame.p)) || FAILED(frame->GetSize(&w, &h)) || !imageSizeAllowed(w, h) ||
        FAILED(factory->CreateFormatConverter(&converter.p)) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return false;
    }
    pixels.assign(std::size_t{w} * h, 0);
    if (FAILED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size() * 4),
                                     reinterpret_cast<BYTE*>(pixels.data())))) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// The edit control takes CR LF between lines.
std::wstring withCrLf(std::string_view text) {
    std::wstring out;
    for (wchar_t c : toWide(text)) {
        if (c == L'\n' && (out.empty() || out.back() != L'\r')) out += L'\r';
        out += c;
    }
    return out;
}

RECT pictureArea(const Pane& pane) {
    RECT area{};
    GetClientRect(pane.window, &area);
    InflateRect(&area, -kMargin, -kMargin);
    HDC context = GetDC(pane.window);
    TEXTMETRICW metrics{};
    HGDIOBJ before = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(pane.window, WM_GETFONT, 0, 0)));
    GetTextMetricsW(context, &metrics);
    SelectObject(context, before);
    ReleaseDC(pane.window, context);
    area.bottom = std::max(area.top, area.bottom - metrics.tmHeight - kMargin);
    return area;
}

SIZE shownSize(const Pane& pane) {
    if (pane.kind != PaneContent::Kind::Pixels) return {};
    const RECT area = pictureArea(pane);
    const double scale = pictureScale(pane.width, pane.height, area.right - area.left, area.bottom - area.top);
    return {static_cast<LONG>(std::lround(pane.width * scale)), static_cast<LONG>(std::lround(pane.height * scale))};
}

void paint(Pane& pane) {
    PAINTSTRUCT paintInfo;
    HDC context = BeginPaint(pane.window, &paintInfo);
    RECT client{};
    GetClientRect(pane.window, &client);
    FillRect(context, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ before = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(pane.window, WM_GETFONT, 0, 0)));
    SetBkMode(context, TRANSPARENT);
    SetTextColor(context, GetSysColor(COLOR_WINDOWTEXT));
    if (pane.kind == PaneContent::Kind::Pixels) {
        const RECT area = pictureArea(pane);
        const SIZE size = shownSize(pane);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = pane.width;
        info.bmiHeader.biHeight = -pane.height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        // Reduced, the picture is smoothed; enlarged, its pixels stay sharp squares.
        SetStretchBltMode(context, size.cx < pane.width ? HALFTONE : COLORONCOLOR);
        SetBrushOrgEx(context, 0, 0, nullptr);
        const int x = area.left + (area.right - area.left - size.cx) / 2;
        const int y = area.top + (area.bottom - area.top - size.cy) / 2;
        StretchDIBits(context, x, y, size.cx, size.cy, 0, 0, pane.width, pane.height, pane.pixels.data(), &info,
                      DIB_RGB_COLORS, SRCCOPY);
        RECT line = client;
        line.top = area.bottom + kMargin;
        DrawTextW(context, pane.caption.c_str(), -1, &line, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    } else if (!pane.message.empty()) {
        RECT area = client;
        InflateRect(&area, -kMargin, -kMargin);
        DrawTextW(context, pane.message.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(context, before);
    EndPaint(pane.window, &paintInfo);
}

LRESULT CALLBACK paneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Pane* pane = paneOf(window);
    switch (message) {
        case WM_CREATE: {
            // The pane paints its own background: the text control above it is left alone.
            SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_CLIPCHILDREN);
            auto* made = new Pane;
            made->window = window;
            made->text = CreateWindowExW(
                0, L"EDIT", L"",
                WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0, 0,
                0, 0, window, reinterpret_cast<HMENU>(kTextId), nullptr, nullptr);
            SendMessageW(made->text, EM_SETLIMITTEXT, 0, 0);
            made->fixedFont = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
            return 0;
        }
        case WM_DESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete pane;
            return 0;
        case WM_SETFONT:
            // The dialog's font, for the caption, the messages and text that is not a dump.
            SetPropW(window, L"QuillomarFont", reinterpret_cast<HANDLE>(wParam));
            if (pane != nullptr && pane->kind != PaneContent::Kind::FixedText)
                SendMessageW(pane->text, WM_SETFONT, wParam, lParam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(GetPropW(window, L"QuillomarFont"));
        case WM_SIZE:
            if (pane != nullptr) MoveWindow(pane->text, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            if (pane != nullptr) {
                paint(*pane);
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            // The read-only text reads as a document, on the window's colour.
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool registerPaneClass() {
    static const bool registered = [] {
        WNDCLASSEXW info{};
        info.cbSize = sizeof(info);
        info.style = CS_HREDRAW | CS_VREDRAW;
        info.lpfnWndProc = paneProc;
        info.hInstance = GetModuleHandleW(nullptr);
        info.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        info.lpszClassName = kClassName;
        return RegisterClassExW(&info) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

void setPaneContent(HWND window, const PaneContent& content) {
    Pane* pane = paneOf(window);
    if (pane == nullptr) return;
    pane->kind = content.kind;
    pane->message.clear();
    pane->caption.clear();
    pane->pixels.clear();
    pane->pixels.shrink_to_fit();
    pane->width = pane->height = 0;
    std::vector<std::uint32_t> decoded;
    switch (content.kind) {
        case PaneContent::Kind::Empty:
            break;
        case PaneContent::Kind::Text:
        case PaneContent::Kind::FixedText: {
            const WPARAM font = content.kind == PaneContent::Kind::FixedText
                                    ? reinterpret_cast<WPARAM>(pane->fixedFont)
                                    : reinterpret_cast<WPARAM>(GetPropW(window, L"QuillomarFont"));
            SendMessageW(pane->text, WM_SETFONT, font, FALSE);
            SetWindowTextW(pane->text, withCrLf(content.text).c_str());
            break;
        }
        case PaneContent::Kind::Pixels:
            pane->width = content.width;
            pane->height = content.height;
            pane->pixels = blended(content.pixels);
            break;
        case PaneContent::Kind::EncodedImage:
            if (decodeWithImaging(content.encoded, pane->width, pane->height, decoded)) {
                pane->kind = PaneContent::Kind::Pixels;
                pane->pixels = blended(decoded);
            } else {
                pane->kind = PaneContent::Kind::Message;
                pane->message = toWide(content.failureText);
            }
            break;
        case PaneContent::Kind::Message:
            pane->message = toWide(content.text);
            break;
    }
    if (pane->kind == PaneContent::Kind::Pixels) {
        pane->caption = toWide(fillIn(content.sizeFormat, std::to_string(pane->width), std::to_string(pane->height)));
    }
    const bool text = pane->kind == PaneContent::Kind::Text || pane->kind == PaneContent::Kind::FixedText;
    if (!text) SetWindowTextW(pane->text, L"");
    ShowWindow(pane->text, text ? SW_SHOWNA : SW_HIDE);
    InvalidateRect(window, nullptr, TRUE);
}

PaneState paneState(HWND window) {
    PaneState state;
    const Pane* pane = paneOf(window);
    if (pane == nullptr) return state;
    state.kind = pane->kind;
    if (pane->kind == PaneContent::Kind::Message) {
        state.text = toUtf8(pane->message);
    } else {
        // What the text control holds, its lines back to LF.
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(pane->text)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(pane->text, text.data(), static_cast<int>(text.size()))));
        text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
        state.text = toUtf8(text);
    }
    state.caption = toUtf8(pane->caption);
    state.pictureWidth = pane->width;
    state.pictureHeight = pane->height;
    state.shownSize = shownSize(*pane);
    return state;
}

}  // namespace quillomar::win32
