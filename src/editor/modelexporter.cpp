#include "modelexporter.h"

#include <QAbstractItemModel>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>
#include <QTextTable>

namespace {

// Quoted only when a reader would split or break the field, so ordinary values are written
// exactly as they are shown.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList &texts)
{
    QStringList fields;
    for (const QString &text : texts)
        fields << csvField(text);
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
}

} // namespace

ModelExporter::ModelExporter(QAbstractItemModel *model, QObject *parent)
    : QObject(parent)
    , model(model)
{}

QStringList ModelExporter::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < model->columnCount(); ++column) {
        // A NULL number converts to "0"; the views show it as an empty cell.
        const QVariant value = model->index(row, column).data(Qt::DisplayRole);
        texts << (value.isNull() ? QString() : value.toString());
    }
    for (const QStringList &column : extraTexts)
        texts << column.value(row);
    return texts;
}

void ModelExporter::addColumn(const QString &header, const QStringList &texts)
{
    extraHeaders << header;
    extraTexts << texts;
}

QStringList ModelExporter::headerTexts() const
{
    QStringList texts;
    for (int column = 0; column < model->columnCount(); ++column)
        texts << model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    return texts + extraHeaders;
}

// Written beside the target and renamed over it when complete: an interrupted export never
// leaves a truncated file under the chosen name.
bool ModelExporter::writeCsv(const QString &fileName, Header header) const
{
    QList<QStringList> lines;
    if (header == ColumnHeader)
        lines << headerTexts();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << rowTexts(row);
    return writeCsv(fileName, lines);
}

bool ModelExporter::writeCsv(const QString &fileName, const QList<QStringList> &lines)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    for (const QStringList &line : lines)
        out << csvLine(line);
    out.flush();
    // QSaveFile::commit() does not see a failure of the last buffered write (a full disk):
    // it is checked here, and the temporary file is dropped.
    if (out.status() != QTextStream::Ok || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void ModelExporter::fillDocument(QTextDocument *document, const QString &title) const
{
    QTextCursor cursor(document);
    if (!title.isEmpty()) {
        QTextCharFormat titleFormat;
        titleFormat.setFontWeight(QFont::Bold);
        titleFormat.setFontPointSize(12);
        cursor.insertText(title, titleFormat);
        cursor.insertBlock();
    }

    QTextTableFormat tableFormat;
    tableFormat.setHeaderRowCount(1);
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(0);
    QTextTable *table =
        cursor.insertTable(model->rowCount() + 1,
                           qMax(1, model->columnCount() + int(extraHeaders.size())), tableFormat);
    QTextCharFormat headerFormat;
    headerFormat.setFontWeight(QFont::Bold);
    const QStringList header = headerTexts();
    for (int column = 0; column < header.size(); ++column)
        table->cellAt(0, column).firstCursorPosition().insertText(header.at(column), headerFormat);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStringList texts = rowTexts(row);
        for (int column = 0; column < texts.size(); ++column)
            table->cellAt(row + 1, column).firstCursorPosition().insertText(texts.at(column));
    }
}

void ModelExporter::print(QPrinter *printer, const QString &title) const
{
    QTextDocument document;
    fillDocument(&document, title);
    document.print(printer);
}

QPrinter *ModelExporter::paintToPrinter() const
{
    auto *printer = new QPrinter(QPrinter::ScreenResolution);
    printer->setPageOrientation(QPageLayout::Landscape);
    print(printer, QString());
    return printer;
}

bool ModelExporter::writePdf(const QString &fileName, const QString &title) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QPdfWriter writer(&file);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    writer.setTitle(title);
    QTextDocument document;
    fillDocument(&document, title);
    document.print(&writer);
    // The PDF engine does not look at what its writes return.
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
