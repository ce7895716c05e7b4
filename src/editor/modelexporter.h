#pragma once

#include <QObject>

class QAbstractItemModel;
class QPrinter;
class QTextDocument;

// Writes any item model cell by cell, by display text: every column of the model, including
// those a view hides.
class ModelExporter : public QObject
{
    Q_OBJECT
public:
    enum Header { NoHeader, ColumnHeader };

    explicit ModelExporter(QAbstractItemModel *model, QObject *parent = nullptr);

    // One line per row; with ColumnHeader a first line of the horizontal header texts.
    bool writeCsv(const QString &fileName, Header header = NoHeader) const;
    // Any lines of fields, quoted as the plain export quotes them.
    static bool writeCsv(const QString &fileName, const QList<QStringList> &lines);
    // A paged table with the header row repeated on every page.
    bool writePdf(const QString &fileName, const QString &title) const;
    // The same table, paged by the printer's own page size.
    void print(QPrinter *printer, const QString &title) const;
    // The table printed at once on the default printer in landscape; the caller owns the
    // printer returned.
    QPrinter *paintToPrinter() const;
    // A column after the model's, with one text per model row, for the header line, the PDF and
    // the print.
    void addColumn(const QString &header, const QStringList &texts);

private:
    QStringList rowTexts(int row) const;
    QStringList headerTexts() const;
    void fillDocument(QTextDocument *document, const QString &title) const;

    QAbstractItemModel *model;
    QStringList extraHeaders;
    QList<QStringList> extraTexts;
};
