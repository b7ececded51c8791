#include "ui/palette.h"

#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

namespace bracken::ui {

QFont DialogFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  // Wider faces (DejaVu Sans, the usual default) cut off the ends of labels
  // laid out for the narrower template font.
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), font.family()});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

QFont PanelTitleFont() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setStyleStrategy(QFont::PreferDefault);
  // A 16-pixel cell includes the internal leading; for Arial's metrics
  // (ascent + descent = 2288 of 2048 units per em) that is a 14-pixel em.
  font.setPixelSize(14);
  font.setWeight(QFont::Bold);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

void PaintPanelBackground(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, kPanelBackground);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void ColourAsPanelText(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, kPanelBackground);
  palette.setColor(QPalette::WindowText, kText);
  palette.setColor(QPalette::Text, kText);
  widget->setPalette(palette);
  // Check boxes would otherwise fill with the button colour.
  widget->setBackgroundRole(QPalette::Window);
  widget->setAutoFillBackground(true);
}

void ColourAsPathEdit(QWidget* widget) {
  QPalette palette = widget->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, kPathBackground);
    palette.setColor(group, QPalette::Text, kText);
  }
  widget->setPalette(palette);
}

void ColourAsLink(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, kPanelBackground);
  palette.setColor(QPalette::WindowText, kLinkText);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

}  // namespace bracken::ui
