// SPDX-License-Identifier: MIT
// The drawing scripts of `vorn draw`: one drawing command a line, run on a
// buffer with its own members.
#ifndef VORN_TOOLS_VORN_DRAW_SCRIPT_H
#define VORN_TOOLS_VORN_DRAW_SCRIPT_H

#include <vorn/vorn.hpp>

#include <istream>
#include <stdexcept>
#include <string>

namespace vorntool {

/// A line of a script that is no command: its number (from 1) and why.
class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
    /// The line's number, counted from 1.
    int line() const { return line_; }

private:
    int line_;
};

/// A colour written #rrggbb or #rrggbbaa (hexadecimal digits of either
/// case; alpha 255 when left out). False for anything else.
bool parseColour(const std::string& text, vorn::Rgba& colour);

/// Runs every command of the script on `canvas`, in order. Blank lines and
/// lines whose first character other than a space is ';' are skipped.
/// Numbers are integers, except radii and marker sizes, which may have a
/// fraction; points are X,Y; COLOUR as parseColour takes it:
///
///   fill COLOUR                          every pixel set to the colour
///   line X1,Y1 X2,Y2 COLOUR              Bresenham line (end point not drawn)
///   aaline X1,Y1 X2,Y2 COLOUR            anti-aliased line
///   dashline X1,Y1 X2,Y2 COLOUR          dashed line, two on, two off
///   polyline X,Y X,Y ... COLOUR          open polyline, two points or more
///   polygon X,Y X,Y ... COLOUR           filled polygon, blended when alpha < 255
///   rect X,Y,W,H COLOUR                  filled rectangle, blended when alpha < 255
///   ellipse X1,Y1 X2,Y2 COLOUR [filled]  ellipse in the box from X1,Y1 to X2,Y2
///   circle X,Y R COLOUR [filled]         circle of radius R about X,Y
///   marker square|triangle|oval X,Y W,H COLOUR   marker of size W,H at X,Y
///
/// The commands are the buffer's members of the same kind (drawSolidLine,
/// drawDashedLine, strokePolyline, fillPolygon or fillPolygonBlend,
/// fillRectangleBlend, drawEllipse, fillEllipse, drawCircle, fillCircle);
/// a marker is drawn at the origin of a scratch image and laid over the
/// canvas at X,Y. Throws ScriptError for an unknown command or a malformed
/// line; the lines before it have been drawn.
void runDrawScript(std::istream& script, VornBuffer& canvas);

} // namespace vorntool

#endif
