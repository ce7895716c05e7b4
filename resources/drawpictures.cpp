// Draws the application's own pictures (banner, splash, update, avatar) into the
// folder given as the only argument, so that no picture file has to be committed.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

namespace {

const QColor brandBlue(45, 69, 116);
const QColor lightBlue(120, 150, 205);

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A sheet with a folded corner and three ruled lines: a table under review.
void drawSheet(QPainter &p, const QRectF &r)
{
    const qreal fold = r.width() * 0.28;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(QPen(brandBlue.darker(130), r.width() / 24));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setPen(QPen(lightBlue, r.width() / 14, Qt::SolidLine, Qt::RoundCap));
    for (int i = 1; i <= 3; ++i) {
        const qreal y = r.top() + fold + i * (r.height() - fold) / 4.5;
        p.drawLine(QPointF(r.left() + r.width() * 0.18, y), QPointF(r.right() - r.width() * 0.18, y));
    }
}

QImage banner()
{
    QImage image = canvas(420, 80);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, image.width(), 0);
    g.setColorAt(0, brandBlue);
    g.setColorAt(1, lightBlue);
    p.fillRect(image.rect(), g);
    drawSheet(p, QRectF(18, 12, 44, 56));
    QFont font("DejaVu Sans", 26, QFont::Bold);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(80, 6, 330, 44), Qt::AlignLeft | Qt::AlignVCenter, "Stavimor");
    font.setPointSize(10);
    font.setWeight(QFont::Normal);
    p.setFont(font);
    p.drawText(QRectF(82, 46, 330, 24), Qt::AlignLeft | Qt::AlignVCenter,
               "shared review of a working group's data");
    return image;
}

QImage splash()
{
    QImage image = canvas(480, 280);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, image.height());
    g.setColorAt(0, lightBlue);
    g.setColorAt(1, brandBlue);
    p.fillRect(image.rect(), g);
    drawSheet(p, QRectF(190, 40, 100, 128));
    p.setFont(QFont("DejaVu Sans", 30, QFont::Bold));
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 180, 480, 60), Qt::AlignCenter, "Stavimor");
    return image;
}

// Two arrows chasing each other around a disc: something new to fetch.
QImage update()
{
    QImage image = canvas(128, 128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(52, 48), 70);
    g.setColorAt(0, lightBlue.lighter(130));
    g.setColorAt(1, brandBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(6, 6, 116, 116));
    p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(32, 32, 64, 64);
    p.drawArc(ring, 30 * 16, 150 * 16);
    p.drawArc(ring, 210 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(84, 24), QPointF(104, 44), QPointF(78, 50)}));
    p.drawPolygon(QPolygonF({QPointF(44, 104), QPointF(24, 84), QPointF(50, 78)}));
    return image;
}

// A neutral head and shoulders for people without a picture of their own.
QImage avatar()
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 226, 236));
    p.drawRoundedRect(QRectF(0, 0, 64, 64), 8, 8);
    p.setBrush(lightBlue);
    p.drawEllipse(QRectF(20, 10, 24, 24));
    p.drawChord(QRectF(8, 38, 48, 44), 0, 180 * 16);
    return image;
}

// The application's own icon: the reviewed sheet on a blue tile, with the gold mark.
QImage appIcon(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    QLinearGradient g(0, 0, 48, 48);
    g.setColorAt(0, lightBlue);
    g.setColorAt(1, brandBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 8, 8);
    drawSheet(p, QRectF(11, 7, 24, 32));
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = i % 2 ? 4.5 : 10.0;
        const qreal angle = M_PI / 2 + i * M_PI / 5;
        star << QPointF(35 + radius * std::cos(angle), 33 - radius * std::sin(angle));
    }
    p.setPen(QPen(QColor(150, 100, 0), 1));
    p.setBrush(QColor(250, 200, 40));
    p.drawPolygon(star);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", qPrintable(args.value(0)));
        return 2;
    }
    const QDir folder(args.at(1));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    QList<QPair<QString, QImage>> images{{"banner.png", banner()},
                                         {"splash.png", splash()},
                                         {"update.png", update()},
                                         {"avatar.png", avatar()}};
    for (int size : {16, 32, 48, 64, 128})
        images.append({QStringLiteral("%1x%1/stavimor.png").arg(size), appIcon(size)});
    for (const auto &[name, image] : images) {
        const QString path = folder.filePath(name);
        if (!QFileInfo(path).dir().mkpath(".") || !image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
