#pragma once
// Record codes and constants of the report file TWREPORT.RPT.
//
// Encoding: little-endian. byte u8; int16 s16; int32 s32; single IEEE float32;
// string = length (one byte when < 192, else two bytes 192 + len / 256, len % 256; at most
// 16383) then the characters; point = two singles X, Y in inches from the sheet's top-left
// corner with the origin shift added; rect = two points.
//
// File header
//   u8   90 ('Z')        s16 version (2017)      string title
//   s16  page count (0 while writing, patched at the end)
//   s16  first page      s16 last page
//   single sheet width   single sheet height                    (inches)
//   4 x single unprintable left, right, top, bottom              (inches)
//   u8   orientation (0 portrait, 1 landscape)   s16 paper bin (265 without printer)
//   u8   collate   u8 duplex   s16 copies   s16 paper size   s16 paper width   s16 paper length
//   string printer name
// Page record, one per page output, chained both ways
//   u8 80 ('P')  s32 previous page offset (0 first)  s32 next page offset (0 last)
//   s16 page number (1-based sequence in the file)   single width   single height
//   then every state record: 41 42 43, 51..63, 71..74, 28, 29, 26, 27
//   then the body records, then u8 82 ('R').
#include <cstdint>
#include <string_view>

namespace report::rpt {

inline constexpr std::uint8_t kHeaderCode = 90;
inline constexpr std::uint8_t kOldHeaderQ = 'Q'; // version 1101
inline constexpr std::uint8_t kOldHeaderY = 'Y'; // version 2009
inline constexpr int kVersion = 2017;
inline constexpr std::size_t kBufferSize = 16384;
inline constexpr std::size_t kMaxString = 16383;
inline constexpr std::size_t kMaxFontName = 60;
inline constexpr int kGraphicSlots = 10;
inline constexpr std::string_view kSampleText =
    "abcdefg hijklmnop qrstuv wxyz ABCDEFG HIJKLMNOP QRSTUV WXYZ 0123456789";

enum Code : std::uint8_t {
    Arc = 1,
    BrushCopy = 2,
    Chord = 3,
    CopyRect = 4,
    DrawGraphic = 5,
    FocusRect = 6,
    Ellipse = 7,
    FillRect = 8,
    FloodFill = 9,
    FrameRect = 10,
    LineTo = 11,
    MoveTo = 12,
    Pie = 13,
    Polygon = 14,
    PolyLine = 15,
    BitmapScaled = 16,
    BitmapRect = 17,
    Rectangle = 18,
    TabRectangle = 19,
    RoundRect = 20,
    StretchGraphic = 21,
    TextRect = 22,
    CenterText = 23,
    LeftText = 24,
    RightText = 25,
    BkMode = 26,
    BkColour = 27,
    ScaleX = 28,
    ScaleY = 29,
    RawData = 30,
    RawStream = 31,
    OldSpreadText = 32,
    SpreadText = 33,
    BitmapMode = 34,
    EngineSetting = 35,
    OldBrush = 40,
    BrushColour = 41,
    BrushStyle = 42,
    BrushBitmap = 43,
    OldFont = 50,
    FontName = 51,
    FontColour = 52,
    FontPitch = 53,
    FontHeight = 54,
    FontBold = 55,
    FontItalic = 56,
    FontUnderline = 57,
    FontStrikeOut = 58,
    FontFlag59 = 59,
    FontFlag60 = 60,
    FontRotation = 61,
    FontSetting62 = 62,
    FontCharset = 63,
    OldPen = 70,
    PenColour = 71,
    PenMode = 72,
    PenStyle = 73,
    PenWidth = 74,
    PageStart = 80,
    PageEnd = 82,
    LineMetrics = 83,
    DrawMode1 = 84,
    DrawMode2 = 85,
    DrawMode3 = 86,
    PageOrientation = 87,
    PaperBin = 88,
    FileHeader = 90
};

// Values this system writes for attributes the documents never change.
inline constexpr int kBkModeTransparent = 1;
inline constexpr int kDefaultCharset = 1;

} // namespace report::rpt
