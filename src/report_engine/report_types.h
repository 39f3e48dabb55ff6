#pragma once
// Shared vocabulary of the report engine: justifications, colours, device description and the
// two exceptions a run can raise. No Qt here.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace report {

enum Justify : int { JustifyCenter = 0, JustifyLeft = 1, JustifyRight = 2, JustifySpread = 3 };
enum class LineHeightMethod { lhmLinesPerInch, lhmFont };
enum Orientation : int { poPortrait = 0, poLandScape = 1, poDefault = 2 };

// Colours are 0x00BBGGRR, the byte order the report file stores.
using Colour = std::int32_t;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
constexpr int redOf(Colour c)
{
    return c & 0xFF;
}
constexpr int greenOf(Colour c)
{
    return (c >> 8) & 0xFF;
}
constexpr int blueOf(Colour c)
{
    return (c >> 16) & 0xFF;
}
constexpr Colour rgb(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

// Pen and brush codes as stored in the report file.
inline constexpr int kPenSolid = 0;
inline constexpr int kPenModeCopy = 4;
inline constexpr int kBrushSolid = 0;
inline constexpr int kBrushClear = 1;

// What a back end tells the layout about its output device.
struct DeviceInfo
{
    double ppiX = 96;
    double ppiY = 96;
    double sheetWidth = 8.5; // inches, physical sheet
    double sheetHeight = 11;
    double offsetLeft = 0; // unprintable offsets, inches
    double offsetTop = 0;
    double offsetRight = 0;
    double offsetBottom = 0;
    bool printerExists = false;
    std::string deviceName = "Preview Only";
    std::string driverName = "Preview Only";
    std::string portName = "Preview Only";
    int paperBin = 265;
    int paperSize = 1;
    int paperWidth = 0;
    int paperLength = 0;
};

// A failure shown to the user with this exact message.
class ReportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The silent abort of a cancelled run: unwinds the document's handler and is swallowed by
// RunReport.
class ReportAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "report cancelled"; }
};

inline const char *const kNotPrinting = "Invalid method call.  Report engine is not printing.";
inline const char *const kAlreadyPrinting = "Invalid method call.  Report engine already printing.";

} // namespace report
