#include "gui/controls/Icons.h"

#include <QImage>
#include <QtTest>

class IconsTest : public QObject {
    Q_OBJECT
private slots:
    void everyIconRenders_data();
    void everyIconRenders();
    void unknownNameGivesNullIcon();
};

void IconsTest::everyIconRenders_data()
{
    QTest::addColumn<QString>("name");
    const char* names[] = {"new",          "open",       "save",         "info",      "zip",      "flag-en",
                           "flag-fr",      "flag-de",    "flag-it",      "flag-es",   "add",      "remove",
                           "edit",         "folder",     "ed-save",      "ed-cancel", "ed-undo",  "ed-redo",
                           "ed-cut",       "ed-copy",    "ed-paste",     "ed-font",   "ed-size",  "ed-bold",
                           "ed-italic",    "ed-uline",   "ed-left",      "ed-center", "ed-right", "ed-bullets",
                           "ed-numbering", "ed-picture", "lanternwright"};
    for (const char* n : names) QTest::newRow(n) << QString::fromLatin1(n);
}

// Each icon is in the resource, parses, and paints something at every size
// the toolbars ask for.
void IconsTest::everyIconRenders()
{
    QFETCH(QString, name);
    const QIcon icon = lw::LoadIcon(name + QStringLiteral(".svg"));
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes().size(), 4);
    for (int size : {16, 24, 32, 48}) {
        const QImage img = icon.pixmap(size, size).toImage();
        QCOMPARE(img.size(), QSize(size, size));
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (qAlpha(img.pixel(x, y)) > 128) ++opaque;
        // A drawing that covers less than a tenth of its square is broken
        // (an empty render, or one shrunk into a corner).
        QVERIFY2(opaque * 10 > size * size, qPrintable(name + " at " + QString::number(size)));
    }
    // The extension may be left out.
    QVERIFY(!lw::LoadIcon(name).isNull());
}

void IconsTest::unknownNameGivesNullIcon()
{
    QVERIFY(lw::LoadIcon(QStringLiteral("no-such-icon.svg")).isNull());
}

QTEST_MAIN(IconsTest)
#include "IconsTest.moc"
