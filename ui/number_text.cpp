#include "ui/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kandrel {

namespace {

ConversionError NotA(const char* what, const QString& text) {
  return ConversionError(QStringLiteral("'%1' is not a valid %2 value")
                             .arg(text, QString::fromLatin1(what))
                             .toStdString());
}

}  // namespace

int IntOr(const QString& text, int previous) {
  try {
    return StrToInt(text);
  } catch (const ConversionError&) {
    return previous;
  }
}

int StrToInt(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  if (!ok) throw NotA("integer", text);
  return value;
}

double StrToFloat(const QString& text) {
  if (const std::optional<double> value = TryStrToFloat(text)) return *value;
  throw NotA("floating point", text);
}

std::optional<double> TryStrToFloat(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  // Qt reads "inf" and "nan" too; the platform's conversion knows no such numbers.
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

QString FloatToStr(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  if (value == 0) return QStringLiteral("0");
  // "d.dddddddddddddde±x": the 15 significant digits, already rounded, and the exponent.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.14e", std::fabs(value));
  std::string digits = std::string(1, scientific[0]) + std::string(scientific + 2, 14);
  digits.erase(digits.find_last_not_of('0') + 1);
  const int exponent = std::atoi(scientific + 17);

  std::string text;
  if (exponent < -5 || exponent > 14) {
    text = digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") + "E" +
           std::to_string(exponent);
  } else if (exponent < 0) {
    text = "0." + std::string(-exponent - 1, '0') + digits;
  } else {
    const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() < integerDigits) digits.resize(integerDigits, '0');
    text = digits.substr(0, integerDigits);
    if (digits.size() > integerDigits) text += "." + digits.substr(integerDigits);
  }
  return QString::fromStdString(value < 0 ? "-" + text : text);
}

}  // namespace kandrel
