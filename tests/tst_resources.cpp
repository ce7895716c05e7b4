#include <QDirIterator>
#include <QFile>
#include <QApplication>
#include <algorithm>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

// Every image name the program's sources use must be compiled in, in the spelling used
// and in the other one (":/16x16/x.png" and ":16x16/x.png").
class ResourcesTest : public QObject
{
    Q_OBJECT

private:
    static QSet<QString> namesUsedBySources()
    {
        static const QRegularExpression reference(
            QStringLiteral(R"(:/?((?:16x16/|32x32/|48x48/)?[A-Za-z0-9_.-]+\.png))"));
        QSet<QString> names;
        QDirIterator it(QStringLiteral(STAVIMOR_SOURCE_DIR "/src"),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            auto matches = reference.globalMatch(text);
            while (matches.hasNext())
                names.insert(matches.next().captured(1));
        }
        return names;
    }

private slots:
    void sourcesUseImages()
    {
        // Guards the scan itself: a broken pattern would make the next test pass vacuously.
        const QSet<QString> names = namesUsedBySources();
        QVERIFY2(names.contains(QStringLiteral("16x16/accept.png")),
                 qPrintable(QStringList(names.values()).join(' ')));
        QVERIFY(names.contains(QStringLiteral("32x32/connect.png")));
        QVERIFY(names.contains(QStringLiteral("banner.png")));
    }

    void everyUsedImageLoads_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : namesUsedBySources())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyUsedImageLoads()
    {
        QFETCH(QString, name);
        for (const QString &spelling : {":/" + name, ":" + name}) {
            const QImage image(spelling);
            QVERIFY2(!image.isNull(), qPrintable(spelling));
        }
    }

    void iconSets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QFile table(QStringLiteral(STAVIMOR_SOURCE_DIR "/resources/icons.tsv"));
        QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
        int rows = 0;
        while (!table.atEnd()) {
            const QString line = QString::fromUtf8(table.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const QString name = line.section('\t', 0, 0);
            for (int size : {16, 32, 48})
                QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(size).arg(name)))
                    << name << size;
            ++rows;
        }
        QVERIFY(rows > 50);
    }

    void iconSets()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        const QImage image(QStringLiteral(":/%1x%1/%2.png").arg(size).arg(name));
        QVERIFY(!image.isNull());
        // The theme trims a few icons by a pixel or two; none may be of another size class.
        QVERIFY2(qMax(image.width(), image.height()) == size,
                 qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
    }

    // Run by ctest a second time with QT_SCALE_FACTOR=2 (tst_resources_scaled).
    void highDpiIconsAreSharp_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : namesUsedBySources())
            if (name.startsWith("16x16/") || name.startsWith("32x32/"))
                QTest::newRow(qPrintable(name)) << name;
    }

    void highDpiIconsAreSharp()
    {
        QFETCH(QString, name);
        if (qApp->devicePixelRatio() < 2)
            QSKIP("only on a screen scaled by two");
        const int size = name.left(2).toInt();
        const QPixmap pixmap = QIcon(":/" + name).pixmap(QSize(size, size));
        QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(size, size));
        const QImage sharp(":/" + QString(name).replace(".png", "@2x.png"));
        QVERIFY2(!sharp.isNull(), qPrintable(name));
        // Drawn from the larger file at its own size, not stretched from the small one; equal
        // to it but for the rounding of premultiplied colours.
        const QImage shown = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage expected = sharp.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(shown.size(), expected.size());
        QVERIFY(shown.width() > size);
        int worst = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb a = shown.pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                worst = std::max({worst, qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)),
                              qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - qAlpha(b))});
            }
        QVERIFY2(worst <= 2, qPrintable(QString::number(worst)));
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"banner.png", "splash.png", "update.png", "avatar.png"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void pictures()
    {
        QFETCH(QString, name);
        const QImage image(":/" + name);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 32 && image.height() >= 32);
        // Drawn, not blank: more than one colour.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 2);
    }
};

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
