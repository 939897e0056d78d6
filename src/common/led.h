#pragma once

#include <QtGlobal>

namespace zelvan {

// A colour as 0xAARRGGBB, the layout of Qt's QRgb, without needing the GUI module down here.
using Rgb = quint32;

constexpr Rgb rgb(int red, int green, int blue) {
    return 0xFF000000u | (static_cast<Rgb>(red) << 16) | (static_cast<Rgb>(green) << 8) | static_cast<Rgb>(blue);
}

// Colours of the link indicator: what the last exchange with the board did.
enum class Led {
    Yellow,     // a record is being sent
    DarkYellow, // waiting for the answer, or between the units of a range
    Green,      // the last exchange succeeded
    Red,        // the last exchange was refused or not answered
};

constexpr Rgb ledRgb(Led led) {
    switch (led) {
    case Led::Yellow:
        return rgb(255, 255, 0);
    case Led::DarkYellow:
        return rgb(192, 192, 0);
    case Led::Green:
        return rgb(0, 255, 0);
    case Led::Red:
        return rgb(255, 0, 0);
    }
    return rgb(0, 0, 0);
}

// Text colours of the connection label: red at start, green once connected.
inline constexpr Rgb kUnconnectedColour = rgb(255, 0, 0);
inline constexpr Rgb kConnectedColour = rgb(0, 255, 0);
// Text colour of the status line.
inline constexpr Rgb kStatusColour = rgb(192, 192, 0);

} // namespace zelvan
