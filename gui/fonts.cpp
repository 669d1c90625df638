#include "gui/fonts.h"

#include <QApplication>
#include <QFontInfo>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gui {

namespace {

constexpr char kName[] = "storedFontName";
constexpr char kSize[] = "storedFontSize";
constexpr char kColor[] = "storedFontColor";
constexpr char kStyle[] = "storedFontStyle";

// The window-text colour and the other system colours by their index.
QPalette::ColorRole SystemColorRole(int index) {
  switch (index) {
    case 1: case 5: case 12: return QPalette::Base;          // desktop, window, workspace
    case 2: case 13: case 27: case 29: return QPalette::Highlight;
    case 9: case 14: return QPalette::HighlightedText;
    case 3: case 4: case 15: case 28: case 30: return QPalette::Button;
    case 7: case 19: return QPalette::WindowText;           // menu and caption texts
    case 10: case 11: case 22: return QPalette::Midlight;
    case 16: return QPalette::Dark;
    case 6: case 21: return QPalette::Shadow;
    case 17: return QPalette::PlaceholderText;               // grey text
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    case 26: return QPalette::Link;
    default: return QPalette::Text;                          // 8 and the rest
  }
}

}  // namespace

void SubstituteFonts() {
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Arial"),
                             QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Consolas"),
                             QStringList{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")});
}

QColor DrawnColor(std::int32_t value, const QPalette& palette) {
  if (value < 0) return palette.color(QPalette::Active, SystemColorRole(value & 0xFF));
  const auto v = static_cast<std::uint32_t>(value);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

QFont DrawnFont(const StoredFont& f) {
  QFont font(f.name);
  if (f.size > 0) {
    font.setPointSize(f.size);
  } else {
    // No face has a size of 0 or below; draw such a size small but readable,
    // as a height of |size| * 4/3 pixels with a floor.
    const double pixels = std::abs(static_cast<double>(f.size)) * 4.0 / 3.0;
    font.setPixelSize(std::max(8, static_cast<int>(std::lround(pixels))));
  }
  font.setBold((f.style & kBold) != 0);
  font.setItalic((f.style & kItalic) != 0);
  font.setUnderline((f.style & kUnderline) != 0);
  font.setStrikeOut((f.style & kStrikeOut) != 0);
  return font;
}

StoredFont StoredFromChosen(const QFont& chosen, const StoredFont& current) {
  StoredFont f = current;
  const bool sameFace = QFontInfo(DrawnFont(current)).family() == chosen.family();
  if (!sameFace) f.name = chosen.family();
  if (chosen.pointSize() > 0) f.size = chosen.pointSize();
  f.style = (current.style & ~0xF) | (chosen.bold() ? kBold : 0) | (chosen.italic() ? kItalic : 0) |
            (chosen.underline() ? kUnderline : 0) | (chosen.strikeOut() ? kStrikeOut : 0);
  return f;
}

StoredFont GetStoredFont(const QWidget* w) {
  StoredFont f;
  const QFont font = w->font();
  const QVariant name = w->property(kName);
  f.name = name.isValid() ? name.toString() : font.family();
  const QVariant size = w->property(kSize);
  f.size = size.isValid() ? size.toInt() : std::max(font.pointSize(), 0);
  const QVariant color = w->property(kColor);
  f.color = color.isValid() ? color.toInt() : -16777208;
  const QVariant style = w->property(kStyle);
  f.style = style.isValid() ? style.toInt()
                            : (font.bold() ? kBold : 0) | (font.italic() ? kItalic : 0) |
                                  (font.underline() ? kUnderline : 0) | (font.strikeOut() ? kStrikeOut : 0);
  return f;
}

void SetStoredFont(QWidget* w, const StoredFont& f) {
  w->setProperty(kName, f.name);
  w->setProperty(kSize, f.size);
  w->setProperty(kColor, f.color);
  w->setProperty(kStyle, f.style);
  w->setFont(DrawnFont(f));
  QPalette pal = w->palette();
  const QColor c = DrawnColor(f.color, QApplication::palette());
  pal.setColor(QPalette::Text, c);
  pal.setColor(QPalette::WindowText, c);
  w->setPalette(pal);
}

void SetFontSize(QWidget* w, std::int32_t size) {
  StoredFont f = GetStoredFont(w);
  f.size = size;
  SetStoredFont(w, f);
}

void SetFontName(QWidget* w, const QString& name) {
  StoredFont f = GetStoredFont(w);
  f.name = name;
  SetStoredFont(w, f);
}

void SetFontColor(QWidget* w, std::int32_t color) {
  StoredFont f = GetStoredFont(w);
  f.color = color;
  SetStoredFont(w, f);
}

void SetFontStyle(QWidget* w, std::int32_t style) {
  StoredFont f = GetStoredFont(w);
  f.style = style;
  SetStoredFont(w, f);
}

}  // namespace gui
