// Fonts, colours and styles as the program stores them, and how they are
// drawn here.
//
// A control's font keeps the values it was given (a point size, a face name,
// a 32-bit colour value and style bits) as its stored font: those are what
// the settings file holds and what the size arrows step. Drawing maps them
// onto what this system has:
// - a face the system lacks is drawn by a substitute, its name kept;
// - a size of 0 or below, which no font has, draws as a small visible font;
// - a colour 0..0xFFFFFF is 0x00BBGGRR; a negative one names a system
//   colour by its low byte (8, the window-text colour, is the text default);
// - style bits 1, 2, 4 and 8 are bold, italic, underline and strike-out.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <cstdint>

class QWidget;

namespace gui {

// The design's fonts are Windows fonts; map them onto the closest shapes
// this system has. The names the program stores stay as set.
void SubstituteFonts();

enum FontStyleBit : std::int32_t { kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8 };

struct StoredFont {
  QString name;
  std::int32_t size = 0;   // points
  std::int32_t color = 0;  // 0x00BBGGRR, or a system colour when negative
  std::int32_t style = 0;  // FontStyleBit set

  bool operator==(const StoredFont&) const = default;
};

// The colour a stored value draws as, system colours taken from palette.
QColor DrawnColor(std::int32_t value, const QPalette& palette);
// The font a stored font draws as.
QFont DrawnFont(const StoredFont& f);
// A font chosen in the font dialog, as stored. The dialog has no colour, so
// the current one stays; a confirmed font that is the current face's
// substitute keeps the stored name.
StoredFont StoredFromChosen(const QFont& chosen, const StoredFont& current);

// The control's stored font. A control never given one reports its own
// font's point size, family and style, in the window-text colour.
StoredFont GetStoredFont(const QWidget* w);
// Stores f and draws the control with it.
void SetStoredFont(QWidget* w, const StoredFont& f);
void SetFontSize(QWidget* w, std::int32_t size);
void SetFontName(QWidget* w, const QString& name);
void SetFontColor(QWidget* w, std::int32_t color);
void SetFontStyle(QWidget* w, std::int32_t style);

}  // namespace gui
