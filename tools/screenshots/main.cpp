// Opens every window and dialog of the application on the demo data, one after the other,
// and saves a picture of each into the folder given as the only argument. Runs in the
// application directory with the demo's settings (scripts/screenshots.sh sets that up).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "admin/admindialog.h"
#include "admin/authsadminformwidget.h"
#include "app/appidentity.h"
#include "app/logindialog.h"
#include "app/mainwindow.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/connectionsettings.h"
#include "editor/extlistviewer.h"
#include "editor/extquestiondialog.h"
#include "editor/extquestionswidget.h"
#include "editor/extrecordeditor.h"
#include "editor/extrecordmodel.h"
#include "editor/extsignaturedialog.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "forms/formdialog.h"
#include "forms/preferencedialog.h"
#include "modalanswer.h"
#include "model/extfieldqueries.h"
#include "model/extsignatures.h"
#include "modules/getmoduledialog.h"
#include "modules/modulesettingswidget.h"
#include "navigation/aboutstavimordialog.h"
#include "query/queryeditor.h"
#include "query/querysavedialog.h"
#include "query/sqlquerydialog.h"
#include "update/downloaderdialog.h"
#include "update/majdialog.h"

namespace {

QDir folder;
int taken = 0;

// Lets layouts, paints and loopback answers settle before the picture.
void settle(int ms = 300)
{
    QTest::qWait(ms);
}

void shoot(QWidget *widget, const QString &name, int wait = 300)
{
    widget->show();
    widget->raise();
    widget->activateWindow();
    settle(wait);
    const QString path =
        folder.filePath(QStringLiteral("%1-%2.png").arg(++taken, 2, 10, QChar('0')).arg(name));
    if (!widget->grab().save(path))
        qWarning("cannot write %s", qPrintable(path));
}

// Waits for the end of the editor's statement, which runs beside the window.
void ended(QueryEditor *editor)
{
    auto *run = editor->findChild<QAction *>("actionRun");
    if (!QTest::qWaitFor([run] { return run->isEnabled(); }, 30000))
        qWarning("the statement still runs after 30 s");
}

void shootPages(QDialog *dialog, const QString &name, const QStringList &pages)
{
    auto *list = dialog->findChild<QListWidget *>("listWidget");
    for (int row = 0; row < pages.size(); ++row) {
        list->setCurrentRow(row);
        QMetaObject::invokeMethod(dialog, "showCurrentWidget");
        shoot(dialog, name + "-" + pages.at(row));
    }
}

void mainWindow()
{
    MainWindow window;
    window.resize(1000, 650);
    shoot(&window, "main-window-logged-out");
    {
        LoginDialog login(nullptr);
        shoot(&login, "login");
    }
    ModalAnswer answer([](QWidget *modal) {
        if (auto *dialog = qobject_cast<LoginDialog *>(modal))
            QTest::mouseClick(dialog->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
        else
            ModalAnswer::accept()(modal);
    });
    window.findChild<QAction *>("actionLogin")->trigger();
    // The dock starts hidden under a checked action: twice shows it.
    window.findChild<QAction *>("actionShowUserView")->trigger();
    window.findChild<QAction *>("actionShowUserView")->trigger();
    shoot(&window, "main-window-logged-in");
}

void logIn()
{
    const QString digest =
        QCryptographicHash::hash(QByteArray("kp4wzn8q"), QCryptographicHash::Md5).toHex();
    Stavimor::instance()->userManager->setCurrentUser(UserManager::login("tavel", digest));
}

void dialogs()
{
    {
        PreferenceDialog preferences(nullptr);
        shootPages(&preferences, "preferences", {"server", "proxy", "style"});
    }
    {
        AdminDialog admin(nullptr);
        shootPages(&admin, "administration", {"users", "groups", "memberships"});
        // A membership added and not applied, then another group chosen.
        auto *memberships = admin.findChild<AuthsAdminFormWidget *>();
        memberships->addAuth();
        ModalAnswer question([](QWidget *modal) {
            shoot(modal, "administration-unapplied-memberships");
            ModalAnswer::clickButton("Cancel")(modal);
        });
        auto *groups = memberships->findChild<QComboBox *>("comboBox");
        groups->setFocus();
        QTest::keyClick(groups, Qt::Key_Down);
    }
    {
        ExtListViewer list;
        list.load();
        shoot(&list, "schema-list");
    }
    {
        ExtTableEditor editor(QDir(ExtListViewer::schemaDirectory()).filePath("patients.xml"));
        editor.resize(1200, 700);
        editor.show();
        editor.refresh();
        ExtXmlModel *model = editor.model;
        auto *view = editor.findChild<QTableView *>("tableView");
        model->setMarked(1, true);
        view->selectRow(3);
        editor.recordEditor->recordModel->setRecordFromIndex(model->index(3, 2));
        editor.recordEditor->recordModel->setState(1, 1);
        editor.recordEditor->recordModel->setState(2, 1);
        editor.recordEditor->recordModel->setState(4, -1);
        editor.showForm(true);
        shoot(&editor, "table-editor-form");
        editor.showFields(true);
        shoot(&editor, "table-editor-fields");
    }
    {
        // Reviewed in the grid: a block of fields valid, two in error; the summary below.
        ExtTableEditor editor(QDir(ExtListViewer::schemaDirectory()).filePath("patients.xml"));
        editor.resize(1200, 700);
        editor.show();
        editor.refresh();
        auto *view = editor.findChild<QTableView *>("tableView");
        const QAbstractItemModel *model = view->model();
        view->selectionModel()->select(QItemSelection(model->index(0, 3), model->index(6, 6)),
                                       QItemSelectionModel::ClearAndSelect);
        editor.findChild<QAction *>("actionValid")->trigger();
        view->selectionModel()->select(QItemSelection(model->index(2, 5), model->index(3, 5)),
                                       QItemSelectionModel::ClearAndSelect);
        editor.findChild<QAction *>("actionError")->trigger();
        shoot(&editor, "table-editor-states");
        QTimer::singleShot(0, [] {
            QWidget *menu = QApplication::activePopupWidget();
            shoot(menu, "table-editor-review-menu");
            menu->close();
        });
        emit view->customContextMenuRequested(view->visualRect(model->index(2, 5)).center());
        auto *filter = editor.findChild<QComboBox *>("reviewFilter");
        // The rows with an error.
        filter->setCurrentIndex(filter->findData(1));
        view->horizontalHeader()->setSortIndicator(4, Qt::AscendingOrder);
        shoot(&editor, "table-editor-filter");
    }
    {
        // Not loaded yet; then a save refused for a change elsewhere, and the question before a
        // reload.
        ExtTableEditor editor(QDir(ExtListViewer::schemaDirectory()).filePath("patients.xml"));
        editor.resize(1200, 700);
        shoot(&editor, "table-editor-unloaded");
        editor.refresh();
        ExtXmlModel *model = editor.model;
        // Another workstation changes the row after this one loaded it.
        model->setData(model->index(2, 2 + model->columnRecord.indexOf("weight")), 88.5);
        QSqlQuery elsewhere;
        elsewhere.exec("UPDATE patients SET weight = weight + 1 WHERE id = " +
                       model->index(2, 2).data().toString());
        ModalAnswer failure([](QWidget *modal) {
            shoot(modal, "save-failed");
            ModalAnswer::accept()(modal);
        });
        editor.save();
        shoot(&editor, "table-editor-save-failed");
        ModalAnswer question([](QWidget *modal) {
            shoot(modal, "unsaved-changes");
            ModalAnswer::clickButton("Cancel")(modal);
        });
        editor.refresh();
    }
    {
        // A row signed, with questions on two of its fields: the form, the grid's seal and marks,
        // the questions tab, and the prompts. The signature is withdrawn again afterwards.
        ExtTableEditor editor(QDir(ExtListViewer::schemaDirectory()).filePath("patients.xml"));
        editor.resize(1200, 700);
        editor.show();
        editor.refresh();
        ExtXmlModel *model = editor.model;
        const QSqlRecord user = Stavimor::instance()->userManager->currentUser;
        if (model->keepsReview() && model->rowCount() > 2) {
            const ExtRecord *row = model->records.at(1);
            ExtFieldQueries questions(model->tableName, user.value("id"));
            // Once: the demo database keeps what an earlier run asked.
            if (questions.ofRow(row->value("id")).isEmpty()) {
                questions.open(row->value("id"), row->fieldName(3),
                               "M on the CRF, F in the lab report: which one?");
                questions.open(row->value("id"), row->fieldName(4),
                               "Is this the date on the consent form?");
                questions.answer(questions.ofRow(row->value("id")).value(1),
                                 "Yes, checked against the original.");
            }
            ExtSignatures signatures(model->tableName, user.value("id"));
            signatures.sign({row}, "reviewed");
            model->readReview();
            auto *view = editor.findChild<QTableView *>("tableView");
            view->selectRow(1);
            editor.recordEditor->recordModel->setRecordFromIndex(model->index(1, 2));
            editor.findChild<ExtQuestionsWidget *>("questionsWidget")->setRow(1);
            editor.showForm(true);
            shoot(&editor, "table-editor-signed");
            model->refuseSigned(1);
            shoot(editor.findChild<QWidget *>("refusalBox"), "signed-row-refusal");
            editor.findChild<QWidget *>("refusalBox")->close();
            editor.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(3);
            shoot(&editor, "table-editor-questions");
            if (const ExtSignature *signature = model->signature(1))
                signatures.withdraw(*signature, "screenshots", true);
        }
        ExtSignatureDialog sign(ExtSignatureDialog::Sign, user, "2 rows");
        shoot(&sign, "sign-rows");
        ExtSignatureDialog withdraw(ExtSignatureDialog::Withdraw, user,
                                    "row 1 (Martin | 1961-03-02)");
        shoot(&withdraw, "withdraw-signature");
        ExtQuestionDialog ask("Weight", "12");
        shoot(&ask, "ask-question");
    }
    {
        QueryEditor result("SELECT c.name AS centre, c.city, COUNT(p.id) AS patients\n"
                           "FROM centres c LEFT JOIN patients p ON p.centre_id = c.id\n"
                           "GROUP BY c.id, c.name, c.city ORDER BY patients DESC");
        result.resize(700, 500);
        ended(&result);
        shoot(&result, "query-editor-result");
        QueryEditor failure("SELECT * FROM nowhere");
        failure.resize(700, 500);
        ended(&failure);
        failure.findChild<QAction *>("actionRun")->trigger();
        ended(&failure);
        shoot(&failure, "query-editor-error");
        QueryEditor running{QString()};
        running.resize(700, 500);
        running.edit("SELECT SLEEP(10)");
        running.findChild<QAction *>("actionRun")->trigger();
        shoot(&running, "query-editor-running", 1200);
        running.findChild<QAction *>("actionCancel")->trigger();
        ended(&running);
        shoot(&running, "query-editor-cancelled");
    }
    {
        QuerySaveDialog save(nullptr);
        shoot(&save, "query-save");
        SqlQueryDialog picker(nullptr);
        picker.setQuery("select id,username,first_name,second_name from users");
        shoot(&picker, "row-picker", 1000);
    }
    {
        MAJDialog update(nullptr);
        shoot(&update, "update", 1500);
        DownloaderDialog download(nullptr);
        shoot(&download, "download");
    }
    {
        auto *page = new ModuleSettingsWidget;
        page->load();
        FormDialog modules(page, nullptr);
        shoot(&modules, "module-page");
        GetModuleDialog catalogue(nullptr);
        shoot(&catalogue, "module-catalogue", 1500);
    }
    {
        AboutStavimorDialog about(nullptr);
        shoot(&about, "about");
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppIdentity::apply();
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        qWarning("usage: %s FOLDER", qPrintable(args.value(0)));
        return 2;
    }
    folder = QDir(args.at(1));
    folder.mkpath(".");
    mainWindow();
    // The main window closed its connection when it went; the dialogs get one of their own.
    if (!ConnectionSettings::read().addDefaultDatabase().open()) {
        qWarning("cannot connect to the demo database");
        return 1;
    }
    logIn();
    dialogs();
    qInfo("%d pictures in %s", taken, qPrintable(folder.absolutePath()));
    return taken > 0 ? 0 : 1;
}
