// The platform's conversions between edit texts and numbers, shared by every dialog. Reading a
// number that is not one throws a ConversionError carrying the platform's message; the dialog
// base catches it around ControlsToParams, shows the message and refuses. Numbers are shown with
// 15 significant digits, in fixed notation from 0.00001 up to 15 integer digits and as "1.5E20"
// beyond.
#pragma once

#include <QString>
#include <optional>
#include <stdexcept>

namespace kandrel {

class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decimal int32, blanks around it allowed; otherwise "'text' is not a valid integer value".
int StrToInt(const QString& text);
// The integer in text, or previous when the text is none (for edits that keep their value).
int IntOr(const QString& text, int previous);
// A finite real number; otherwise "'text' is not a valid floating point value".
double StrToFloat(const QString& text);
// The same conversion for handlers that ignore texts that are not numbers.
std::optional<double> TryStrToFloat(const QString& text);
QString FloatToStr(double value);

}  // namespace kandrel
