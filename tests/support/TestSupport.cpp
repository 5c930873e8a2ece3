#include "query/RecordFields.h"
#include "support/TestSupport.h"

#include "main_window/Form1.h"
#include "main_window/ResultListModel.h"
#include "query/QueryTexts.h"
#include "store/OrvoDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

int ScriptedMessageBoxes::show(QWidget*, const QString& prompt, const QString& title, Style style)
{
    shown << Shown{prompt, title, style};
    return m_answers.isEmpty() ? Ok : m_answers.takeFirst();
}

bool RecordingViewer::launch(const QString& appDir, const QString& fileName)
{
    launches << appDir + QLatin1Char('|') + fileName;
    return succeeds;
}

QVariant nullText()
{
    return QVariant(QMetaType(QMetaType::QString));
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

TestRecord TestRecord::make(const QVariant& description, const QVariant& comments, const QVariantList& frequencies)
{
    TestRecord record;
    record.description = description;
    record.comments = comments;
    for (int i = 0; i < frequencies.size() && i < 40; ++i)
        record.frequencies[i] = frequencies.at(i);
    return record;
}

namespace {

QVariant asBound(const QVariant& value)
{
    return value.isNull() ? nullText() : value;
}

} // namespace

void createDatabase(const QString& path, const QVector<TestRecord>& records)
{
    QFile::remove(path);
    const Outcome created = OrvoDatabase::createEmpty(path);
    QVERIFY2(created.ok, qPrintable(created.error));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-writer"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        db.transaction();
        QSqlQuery insert(db);
        QStringList marks;
        for (int i = 0; i < 42; ++i)
            marks << QStringLiteral("?");
        insert.prepare(QStringLiteral("INSERT INTO Main (") + RecordFields::names().join(QLatin1Char(','))
                       + QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) + QLatin1Char(')'));
        for (const TestRecord& record : records) {
            insert.bindValue(0, asBound(record.description));
            insert.bindValue(1, asBound(record.comments));
            for (int i = 0; i < 40; ++i)
                insert.bindValue(2 + i, asBound(record.frequencies.at(i)));
            QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-writer"));
}

QVector<TestRecord> readDatabase(const QString& path)
{
    QVector<TestRecord> records;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-reader"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT ") + RecordFields::names().join(QLatin1Char(','))
                       + QStringLiteral(" FROM Main ORDER BY rowid"));
            while (query.next()) {
                TestRecord record;
                record.description = query.value(0);
                record.comments = query.value(1);
                for (int i = 0; i < 40; ++i)
                    record.frequencies[i] = query.value(2 + i);
                records << record;
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-reader"));
    return records;
}

QStringList tabOrder(QWidget* window, int steps)
{
    QStringList visited;
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return {QStringLiteral("window never became active")};
    for (int step = 0; step < steps; ++step) {
        if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }))
            break;
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return visited;
}

Outcome openRecords(Data1& data, const QString& path, const QString& query)
{
    data.setDatabaseName(path);
    data.setRecordSource(query.isEmpty() ? QueryTexts::allRecordsQuery() : query);
    return data.refresh();
}

MainWindowFixture::MainWindowFixture()
    : services(module, boxes, viewer)
{
    services.applicationFolder = folder.path();
    services.beep = [this] { ++beeps; };
    services.quit = [this] { ++quits; };
    services.now = [this] { return clock; };
}

MainWindowFixture::~MainWindowFixture()
{
    form.reset();
}

QStringList MainWindowFixture::resultLines() const
{
    return static_cast<ResultListModel*>(child<QListView>(QStringLiteral("List1"))->model())->lines();
}

QString MainWindowFixture::resultsCaption() const
{
    return child<QLabel>(QStringLiteral("Label2_0"))->text();
}

QString MainWindowFixture::dbPath() const
{
    return QDir(folder.path()).filePath(QStringLiteral("freqs.mdb"));
}

bool MainWindowFixture::start(const QVector<TestRecord>& records)
{
    createDatabase(dbPath(), records);
    form = std::make_unique<Form1>(services);
    if (!form->Form_Load())
        return false;
    form->show();
    return true;
}
