// Small helper for the artwork generator: glyph outlines as SVG path data, and SVG rendering with QtSvg.
#include <QGuiApplication>
#include <QFont>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <cstdio>
#include <QRegularExpression>

static QString num(double v) { return QString::number(v, 'f', 2).remove(QRegularExpression("\\.?0+$")); }

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QStringList a = app.arguments();
  if (a.size() >= 6 && a[1] == "text") {
    QFont f(a[2]);
    f.setWeight(QFont::Weight(a[3].toInt()));
    f.setPixelSize(a[4].toInt());
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    if (a.size() >= 7) f.setLetterSpacing(QFont::AbsoluteSpacing, a[6].toDouble());
    QPainterPath p;
    p.addText(0, 0, f, a[5]);
    QString d;
    for (int i = 0; i < p.elementCount(); ++i) {
      auto e = p.elementAt(i);
      if (e.type == QPainterPath::MoveToElement) d += "M" + num(e.x) + " " + num(e.y);
      else if (e.type == QPainterPath::LineToElement) d += "L" + num(e.x) + " " + num(e.y);
      else if (e.type == QPainterPath::CurveToElement) {
        auto c2 = p.elementAt(i + 1), c3 = p.elementAt(i + 2);
        d += "C" + num(e.x) + " " + num(e.y) + " " + num(c2.x) + " " + num(c2.y) + " " + num(c3.x) + " " + num(c3.y);
        i += 2;
      }
    }
    QRectF r = p.boundingRect();
    printf("{\"family\":\"%s\",\"d\":\"%s\",\"x\":%g,\"y\":%g,\"w\":%g,\"h\":%g}\n",
           qPrintable(QFontInfo(f).family()), qPrintable(d), r.x(), r.y(), r.width(), r.height());
    return 0;
  }
  if (a.size() >= 5 && a[1] == "render") {
    QSvgRenderer r(a[2]);
    if (!r.isValid()) { fprintf(stderr, "invalid svg %s\n", qPrintable(a[2])); return 1; }
    QImage img(a[4].toInt(), a[5 < a.size() ? 5 : 4].toInt(), QImage::Format_ARGB32_Premultiplied);
    img.fill(a.size() >= 7 ? QColor(a[6]) : QColor(Qt::transparent));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    r.render(&p);
    p.end();
    return img.save(a[3]) ? 0 : 1;
  }
  fprintf(stderr, "usage: artkit text FAMILY WEIGHT PX TEXT [spacing] | render IN OUT W H [bg]\n");
  return 2;
}
