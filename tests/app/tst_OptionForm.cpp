#include "app/FolderChooser.h"
#include "app/TOptionForm.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs `action` on the next modal window of type W once it is showing.
template<typename W>
void onModal(std::function<void(W *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto *window = qobject_cast<W *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(window);
    });
    timer->start();
}

void clickButton(QMessageBox *box, const QString &text)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button ") + text));
}

} // namespace

class tst_OptionForm : public QObject
{
    Q_OBJECT

private:
    QString iniPath() const { return m_dir.filePath(QStringLiteral("Option.ini")); }
    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeIni(const QByteArray &bytes)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    template<typename W>
    W *child(const char *name) const
    {
        W *widget = m_form->findChild<W *>(QLatin1String(name));
        if (!widget)
            qFatal("missing control %s", name);
        return widget;
    }

    QTemporaryDir m_dir;
    OptionSettings m_settings;
    std::unique_ptr<TOptionForm> m_form;

private slots:
    void init()
    {
        QFile::remove(iniPath());
        setOptionIniPath(iniPath());
        m_settings = OptionSettings();
        m_form = std::make_unique<TOptionForm>(nullptr, &m_settings);
    }
    void cleanup()
    {
        m_form.reset();
        setOptionIniPath(QString());
    }

    void listsTheFileTypeNames()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("オプション"));
        QCOMPARE(m_form->size(), QSize(530, 426));
        QCOMPARE(TOptionForm::instance(), m_form.get());
        auto *open = child<QComboBox>("CobFileTyp");
        QVERIFY(open->isEditable());
        QCOMPARE(open->count(), 5);
        QCOMPARE(open->itemText(1), QStringLiteral("MOXぽこぺんﾉｰﾄ (*.txm)"));
        QCOMPARE(child<QComboBox>("CobinFileTyp")->itemText(1), QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"));
        QCOMPARE(child<QComboBox>("CobImageFileTyp")->itemText(3), QStringLiteral("JPEG 形式 (*.jpg)"));
        QVERIFY(!child<QComboBox>("RegSaveCB")->isEditable());
    }

    void firstUseWritesEightQuotedEmptyTextsAndTwoZeros()
    {
        m_form->show();
        for (const char *name : {"OpenFiel", "SaveFiel", "inFile", "ImageFile"})
            QVERIFY(child<QLineEdit>(name)->text().isEmpty());
        for (const char *name : {"CobFileTyp", "CobSaveTyp", "CobinFileTyp", "CobImageFileTyp"})
            QVERIFY(child<QComboBox>(name)->currentText().isEmpty());
        QCOMPARE(child<QComboBox>("RegSaveCB")->currentText(), QStringLiteral("たまぴこで開く"));
        QVERIFY(child<QRadioButton>("RadioGroup1Choice0")->isChecked());

        child<QPushButton>("OKBtn")->click();
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
        QVERIFY(!m_form->isVisible());
        QCOMPARE(readIni(), QByteArray("[Option]\nFileOpen=\"\"\nFileOpenTyp=\"\"\nFileSave=\"\"\nFileSaveTyp=\"\"\n"
                                       "FileIN=\"\"\nFileINTyp=\"\"\nFileImage=\"\"\nFileImageTyp=\"\"\n"
                                       "RegSave=0\nPictINS=0\n"));
    }

    void okStoresTypedTextsAndTheChoicesAtOnce()
    {
        m_form->show();
        child<QLineEdit>("SaveFiel")->setText(QStringLiteral("/home/user/My Documents"));
        child<QComboBox>("CobSaveTyp")->setEditText(QStringLiteral("My own type"));
        child<QComboBox>("RegSaveCB")->setCurrentIndex(1);
        child<QRadioButton>("RadioGroup1Choice1")->click();
        QTest::keyClick(child<QPushButton>("OKBtn"), Qt::Key_Space);
        QVERIFY(!m_form->isVisible());

        QCOMPARE(m_settings.RegSave, 1);
        QCOMPARE(m_settings.PictINS, 1);
        QVERIFY(m_settings.FileSave.isEmpty());      // texts come from the file at the next reading
        IniOption(m_settings);
        QCOMPARE(m_settings.FileSave, QStringLiteral("/home/user/My Documents"));
        QCOMPARE(m_settings.FileSaveTyp, QStringLiteral("My own type"));
        QCOMPARE(m_settings.RegSave, 1);
    }

    void everyShowingRefillsAndCancelWritesNothing()
    {
        writeIni("[Option]\nFileOpen=\"/data\"\nFileImageTyp=\"Tagged Image Format(*.TIF)\"\nRegSave=7\nPictINS=5\n");
        m_form->show();
        QCOMPARE(child<QLineEdit>("OpenFiel")->text(), QStringLiteral("/data"));
        QCOMPARE(child<QComboBox>("CobImageFileTyp")->currentText(), QStringLiteral("Tagged Image Format(*.TIF)"));
        QCOMPARE(m_form->RegSaveIndex(), -1);           // no such entry
        QCOMPARE(m_form->RadioGroup1Index(), 1);        // too large picks the last choice

        child<QLineEdit>("OpenFiel")->setText(QStringLiteral("/edited"));
        QTest::keyClick(m_form.get(), Qt::Key_Escape);
        QVERIFY(!m_form->isVisible());
        const QByteArray untouched = readIni();
        QVERIFY(untouched.contains("FileOpen=\"/data\""));

        writeIni("[Option]\nPictINS=-2\n");
        m_form->show();
        QCOMPARE(child<QLineEdit>("OpenFiel")->text(), QStringLiteral("/data"));   // kept in memory
        QCOMPARE(m_form->RadioGroup1Index(), -1);
        child<QPushButton>("OKBtn")->click();
        const QByteArray written = readIni();
        QVERIFY(written.contains("\nPictINS=-1\n"));
        QVERIFY(written.contains("\nRegSave=0\n"));
    }

    void failedWriteIsReportedAndTheDialogCloses()
    {
        // The settings file's folder cannot be made: its parent is a file.
        writeIni("x");
        const QString impossible = iniPath() + QStringLiteral("/Option.ini");
        setOptionIniPath(impossible);
        QString reported;
        onModal<QMessageBox>([&](QMessageBox *box) {
            reported = box->text();
            clickButton(box, QStringLiteral("OK"));
        });
        m_form->show();
        child<QPushButton>("OKBtn")->click();
        QCOMPARE(reported, impossible + QStringLiteral(" に書き込めません"));
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
    }

    void browsingStartsAtTheRootAndCreatesTypedFolders()
    {
        m_form->show();
        auto *field = child<QLineEdit>("SaveFiel");
        field->setText(m_dir.path());
        const QString wanted = m_dir.filePath(QStringLiteral("新しい フォルダ/下"));
        QString title, startFolder, question;
        onModal<FolderChooser>([&](FolderChooser *chooser) {
            title = chooser->windowTitle();
            startFolder = chooser->directory().absolutePath();
            onModal<QMessageBox>([&](QMessageBox *box) {
                question = box->text();
                clickButton(box, QStringLiteral("はい(&Y)"));
            });
            chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(wanted);
            chooser->accept();
        });
        child<QPushButton>("SpeedButton2")->click();
        QCOMPARE(title, QStringLiteral("ﾃﾞｨﾚｸﾄﾘの選択"));
        QCOMPARE(startFolder, QStringLiteral("/"));
        QCOMPARE(question, QStringLiteral("指定されたﾃﾞｨﾚｸﾄﾘが存在しません。作成しますか？"));
        QVERIFY(QFileInfo(wanted).isDir());
        QCOMPARE(field->text(), wanted);
    }

    void uncreatableFolderIsReportedAndCancelKeepsTheField()
    {
        m_form->show();
        writeIni("x");
        auto *field = child<QLineEdit>("inFile");
        field->setText(QStringLiteral("/before"));
        QString error;
        onModal<FolderChooser>([&](FolderChooser *chooser) {
            onModal<QMessageBox>([&, chooser](QMessageBox *question) {
                // Registered now, it finds the box that follows the answer.
                onModal<QMessageBox>([&, chooser](QMessageBox *box) {
                    error = box->text();
                    clickButton(box, QStringLiteral("OK"));
                    QTimer::singleShot(0, chooser, &QDialog::reject);
                });
                clickButton(question, QStringLiteral("はい(&Y)"));
            });
            chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(iniPath() + QStringLiteral("/sub"));
            chooser->accept();
        });
        child<QPushButton>("SpeedButton4")->click();
        QCOMPARE(error, QStringLiteral("ﾃﾞｨﾚｸﾄﾘを作成することができません"));
        QCOMPARE(field->text(), QStringLiteral("/before"));
    }
};

QTEST_MAIN(tst_OptionForm)
#include "tst_OptionForm.moc"
