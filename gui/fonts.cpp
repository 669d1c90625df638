#include "gui/fonts.h"

#include <QFont>
#include <QStringList>

namespace gui {

void SubstituteFonts() {
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Arial"),
                             QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Consolas"),
                             QStringList{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")});
}

}  // namespace gui
