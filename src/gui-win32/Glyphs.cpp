#include "gui-win32/Glyphs.h"

#include <array>
#include <cstdint>
#include <vector>

namespace pasavel::win32 {

namespace {

// Pixels of this colour stay transparent.
constexpr COLORREF transparentKey = RGB(0xFF, 0x00, 0xFE);

struct Pen {
    explicit Pen(HDC context, COLORREF colour, int width)
        : m_context(context), m_pen(CreatePen(PS_SOLID, width, colour)),
          m_previous(SelectObject(context, m_pen))
    {
    }
    ~Pen()
    {
        SelectObject(m_context, m_previous);
        DeleteObject(m_pen);
    }
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;

  private:
    HDC m_context;
    HPEN m_pen;
    HGDIOBJ m_previous;
};

struct Fill {
    explicit Fill(HDC context, COLORREF colour)
        : m_context(context), m_brush(CreateSolidBrush(colour)), m_previous(SelectObject(context, m_brush))
    {
    }
    ~Fill()
    {
        SelectObject(m_context, m_previous);
        DeleteObject(m_brush);
    }
    Fill(const Fill&) = delete;
    Fill& operator=(const Fill&) = delete;

  private:
    HDC m_context;
    HBRUSH m_brush;
    HGDIOBJ m_previous;
};

// The drawings are made on a 16 by 16 grid, scaled to the icon's size.
struct Canvas {
    HDC context;
    int size;
    int at(int value) const { return MulDiv(value, size, 16); }
    POINT point(int x, int y) const { return {at(x), at(y)}; }
    int line(int width) const { return std::max(1, MulDiv(width, size, 16)); }
};

void triangle(const Canvas& canvas, int flatX, bool pointsRight, COLORREF colour)
{
    const int tip = pointsRight ? flatX + 5 : flatX - 5;
    const std::array<POINT, 3> points = {canvas.point(flatX, 3), canvas.point(tip, 8),
                                         canvas.point(flatX, 13)};
    Pen pen(canvas.context, colour, 1);
    Fill fill(canvas.context, colour);
    Polygon(canvas.context, points.data(), static_cast<int>(points.size()));
}

void bar(const Canvas& canvas, int left, COLORREF colour)
{
    Pen pen(canvas.context, colour, 1);
    Fill fill(canvas.context, colour);
    Rectangle(canvas.context, canvas.at(left), canvas.at(3), canvas.at(left + 2), canvas.at(13) + 1);
}

void draw(const Canvas& canvas, Glyph glyph, bool greyed)
{
    const COLORREF ink = greyed ? RGB(0xA0, 0xA0, 0xA0) : colours::black;
    HDC context = canvas.context;
    switch (glyph) {
    case Glyph::ok: {
        const COLORREF green = greyed ? RGB(0xA0, 0xA0, 0xA0) : RGB(0x00, 0x80, 0x00);
        Pen pen(context, green, canvas.line(3));
        const std::array<POINT, 3> tick = {canvas.point(2, 8), canvas.point(6, 12), canvas.point(14, 3)};
        Polyline(context, tick.data(), static_cast<int>(tick.size()));
        break;
    }
    case Glyph::close: {
        // An open door, as on the close buttons of the classic toolkits.
        const COLORREF frame = greyed ? RGB(0xA0, 0xA0, 0xA0) : RGB(0x40, 0x40, 0x40);
        const COLORREF door = greyed ? RGB(0xC0, 0xC0, 0xC0) : RGB(0x80, 0x80, 0x00);
        {
            Pen pen(context, frame, 1);
            Fill fill(context, RGB(0xFF, 0xFF, 0xFF));
            Rectangle(context, canvas.at(3), canvas.at(1), canvas.at(13), canvas.at(15));
        }
        Pen pen(context, frame, 1);
        Fill fill(context, door);
        const std::array<POINT, 4> leaf = {canvas.point(3, 1), canvas.point(9, 3), canvas.point(9, 16),
                                           canvas.point(3, 14)};
        Polygon(context, leaf.data(), static_cast<int>(leaf.size()));
        break;
    }
    case Glyph::first:
        bar(canvas, 3, ink);
        triangle(canvas, 12, false, ink);
        break;
    case Glyph::backTen:
        triangle(canvas, 8, false, ink);
        triangle(canvas, 14, false, ink);
        break;
    case Glyph::prior:
        triangle(canvas, 11, false, ink);
        break;
    case Glyph::next:
        triangle(canvas, 5, true, ink);
        break;
    case Glyph::forwardTen:
        triangle(canvas, 2, true, ink);
        triangle(canvas, 8, true, ink);
        break;
    case Glyph::last:
        triangle(canvas, 4, true, ink);
        bar(canvas, 11, ink);
        break;
    case Glyph::edit: {
        Pen pen(context, ink, 1);
        Fill fill(context, ink);
        const std::array<POINT, 3> points = {canvas.point(3, 11), canvas.point(8, 5), canvas.point(13, 11)};
        Polygon(context, points.data(), static_cast<int>(points.size()));
        break;
    }
    case Glyph::post: {
        Pen pen(context, ink, canvas.line(2));
        const std::array<POINT, 3> tick = {canvas.point(3, 8), canvas.point(6, 12), canvas.point(13, 4)};
        Polyline(context, tick.data(), static_cast<int>(tick.size()));
        break;
    }
    case Glyph::cancel: {
        Pen pen(context, ink, canvas.line(2));
        MoveToEx(context, canvas.at(4), canvas.at(4), nullptr);
        LineTo(context, canvas.at(12), canvas.at(12));
        MoveToEx(context, canvas.at(12), canvas.at(4), nullptr);
        LineTo(context, canvas.at(4), canvas.at(12));
        break;
    }
    case Glyph::refresh: {
        {
            Pen pen(context, ink, canvas.line(2));
            // Three quarters of a circle, open at the top right.
            Arc(context, canvas.at(3), canvas.at(3), canvas.at(13), canvas.at(13), canvas.at(8), canvas.at(3),
                canvas.at(13), canvas.at(8));
        }
        Pen pen(context, ink, 1);
        Fill fill(context, ink);
        const std::array<POINT, 3> head = {canvas.point(7, 0), canvas.point(11, 3), canvas.point(7, 6)};
        Polygon(context, head.data(), static_cast<int>(head.size()));
        break;
    }
    }
}

} // namespace

Icon makeGlyph(Glyph glyph, int size, bool greyed)
{
    BITMAPINFO description{};
    description.bmiHeader.biSize = sizeof description.bmiHeader;
    description.bmiHeader.biWidth = size;
    description.bmiHeader.biHeight = -size; // top-down
    description.bmiHeader.biPlanes = 1;
    description.bmiHeader.biBitCount = 32;
    description.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(screen, &description, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC context = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (colour == nullptr || context == nullptr) {
        if (colour != nullptr)
            DeleteObject(colour);
        if (context != nullptr)
            DeleteDC(context);
        return Icon();
    }
    const HGDIOBJ previous = SelectObject(context, colour);
    const RECT all{0, 0, size, size};
    SetBkColor(context, transparentKey);
    ExtTextOutW(context, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    draw(Canvas{context, size}, glyph, greyed);
    GdiFlush();
    SelectObject(context, previous);
    DeleteDC(context);

    // GDI leaves the alpha channel alone: every pixel not of the key colour
    // becomes opaque.
    auto* pixels = static_cast<std::uint32_t*>(bits);
    const std::uint32_t key =
        (GetRValue(transparentKey) << 16) | (GetGValue(transparentKey) << 8) | GetBValue(transparentKey);
    for (int index = 0; index < size * size; ++index) {
        const std::uint32_t rgb = pixels[index] & 0x00FFFFFF;
        pixels[index] = rgb == key ? 0 : (rgb | 0xFF000000);
    }
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, maskBits.data());
    ICONINFO parts{};
    parts.fIcon = TRUE;
    parts.hbmColor = colour;
    parts.hbmMask = mask;
    Icon icon(CreateIconIndirect(&parts));
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

} // namespace pasavel::win32
