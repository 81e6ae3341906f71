// migwiz-screenshots OUTDIR PROJECT: renders every page of the wizard
// dialog (the summary with its checks), both confirmation questions, the
// result box of a real replace of PROJECT with its counts, and the host with
// PROJECT open, the wizard plug-in loaded and the run's report in its report
// view, into PNG files in OUTDIR, each with a drawn title bar that shows its
// window caption. Meant for the offscreen platform. PROJECT is converted.
#include "HostWindow.h"
#include "OrxWizard.h"
#include "SaveWarn.h"

#include "FileUtils.h"
#include "OrxReplacer.h"
#include "QtExpertUI.h"
#include "ReplaceExpert.h"
#include "Replacer.h"
#include "ReportView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QTableView>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QString OutDir;

// The window's contents under a title bar of its caption.
QImage framed(QWidget *Window, const QImage &Contents)
{
    const int Bar = 26;
    QImage Image(Contents.width() + 2, Contents.height() + Bar + 1, QImage::Format_ARGB32);
    Image.fill(QColor(0x2b, 0x3a, 0x4a));
    QPainter Painter(&Image);
    Painter.drawImage(1, Bar, Contents);
    QFont Font = Window->font();
    Font.setBold(true);
    Painter.setFont(Font);
    Painter.setPen(Qt::white);
    Painter.drawText(QRect(10, 0, Image.width() - 40, Bar), Qt::AlignVCenter | Qt::AlignLeft, Window->windowTitle());
    Painter.drawText(QRect(Image.width() - 26, 0, 20, Bar), Qt::AlignCenter, QStringLiteral("x"));
    return Image;
}

void save(QWidget *Window, const QString &Name, const QImage &Contents = {})
{
    QApplication::processEvents();
    const QImage Image = framed(Window, Contents.isNull() ? Window->grab().toImage() : Contents);
    const QString Path = QDir(OutDir).filePath(Name + QStringLiteral(".png"));
    if (!Image.save(Path))
        QTextStream(stderr) << "cannot write " << Path << '\n';
}

// Keeps the result of a replace instead of showing it.
class TKeptResult : public TExpertUI
{
public:
    QString Text;
    TReplaceResult Result;
    void MessageBox(const QString &Message, const QString &, TMessageIcon) override { Text = Message; }
    bool ConfirmAction(const QString &, bool, const QString &, bool) override { return true; }
    void ReplaceResult(const QString &Message, const QString &, const TReplaceResult &Kept) override
    {
        Text = Message;
        Result = Kept;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication App(argc, argv);
    if (App.arguments().size() != 3) {
        QTextStream(stderr) << "usage: migwiz-screenshots OUTDIR PROJECT\n";
        return 2;
    }
    OutDir = App.arguments().at(1);
    const QString Project = QDir::toNativeSeparators(QFileInfo(App.arguments().at(2)).absoluteFilePath());
    QDir().mkpath(OutDir);

    THostWindow Host;
    Host.show();
    Host.LoadPlugin(THostWindow::DefaultPluginPath());
    if (!Host.OpenProject(Project)) {
        QTextStream(stderr) << "cannot open " << Project << '\n';
        return 1;
    }
    TIDEServicesScope Scope(&Host);

    // The wizard as the expert prepares it.
    TOrxProduct Product;
    TReplaceOptions &Options = Product.ReplaceOptions();
    std::vector<const TComponentReplacer *> Replacers;
    for (int I = 0; I < TOrxProduct::ReplacerCount; ++I)
        Replacers.push_back(Product.Replacer(I));
    TOrxWizardForm Form;
    Form.SetProductName(QStringLiteral("Orvex"));
    Form.SetReplaceOptions(&Options);
    Form.SetReplacers(Replacers);
    Form.SetLabel2Caption(Options.SourceName(), QStringLiteral("Orvex"));
    Form.SetReplaceModeCaption(QStringLiteral("&Replace BDE/IBX/FibPlus components"));
    Form.show();
    save(&Form, QStringLiteral("wizard-1-mode"));
    Form.btNext->click();
    save(&Form, QStringLiteral("wizard-2-location"));
    Form.btNext->click();
    Form.lbModules->item(0)->setCheckState(Qt::Unchecked);
    save(&Form, QStringLiteral("wizard-3-units"));
    Form.btNext->click();
    save(&Form, QStringLiteral("wizard-4-options"));
    Form.btNext->click();
    save(&Form, QStringLiteral("wizard-5-summary"));
    // The summary scrolled down to its checks.
    Form.sbSummary->ensureWidgetVisible(Form.lChecks);
    save(&Form, QStringLiteral("wizard-5-checks"));
    Form.btPrev->click();
    Form.btPrev->click();
    Form.btPrev->click();
    Form.rbDestFolder->click();
    Form.btNext->click();
    Form.cbDirectory->setEditText(QFileInfo(Project).path());
    Form.chSubDirs->setChecked(true);
    save(&Form, QStringLiteral("wizard-3-folder"));

    // The restore road, with an undo file of its own.
    const QString Backup = JoinPath(QFileInfo(Project).path(), QStringLiteral("RBackup"));
    QDir().mkpath(Backup);
    const QString Undo = JoinPath(Backup, QStringLiteral("RExpert.reu"));
    QFile(Undo).open(QIODevice::WriteOnly | QIODevice::Append);
    Form.btPrev->click();
    Form.btPrev->click();
    Form.rbModeRestore->click();
    Form.btNext->click();
    Form.edUndoFile->setText(Undo);
    save(&Form, QStringLiteral("wizard-restore-2-backup"));
    Form.btNext->click();
    save(&Form, QStringLiteral("wizard-restore-3-summary"));
    Form.reject();

    {
        TSaveWarnForm Warn;
        Warn.setWindowTitle(Options.Caption());
        Warn.lblNote->setText(QStringLiteral("Project forms will be hidden."));
        Warn.lblWarn->setText(QStringLiteral("Current project will be saved. Continue?"));
        Warn.show();
        save(&Warn, QStringLiteral("confirm"));
    }
    {
        TSaveWarnForm Warn;
        Warn.setWindowTitle(Options.Caption());
        Warn.lblNote->setText(QStringLiteral("Current project will be closed."));
        Warn.lblWarn->setText(QStringLiteral("Old files will be restored from backup. Continue?"));
        Warn.show();
        save(&Warn, QStringLiteral("confirm-restore"));
    }

    // A real replace of the project, and its result box as the wizard shows
    // it (the same text and buttons, not run modally).
    QFile::remove(Undo);
    TKeptResult Kept;
    TCompReplaceExpert Expert(QStringLiteral("Orvex"), Product.Replacer(0), &Kept);
    Options.Dest = sdProject;
    Options.ModuleList.clear();
    for (int I = 0; I < Host.ModuleCount(); ++I)
        Options.ModuleList += QFileInfo(Host.ModuleFileName(I)).fileName() + u'\n';
    Options.MakeBackup = true;
    Options.BackupDir = Backup;
    Options.WriteLog = true;
    Options.ViewLog = false;
    Expert.PerformReplace(*Product.Replacer(0));
    {
        QMessageBox Box(QMessageBox::Information, Options.Caption(),
                        Kept.Text + QStringLiteral("\n\n") + Kept.Result.Details(), QMessageBox::Ok);
        Box.addButton(sOpenReport, QMessageBox::ActionRole);
        Box.addButton(sOpenLog, QMessageBox::ActionRole);
        Box.show();
        save(&Box, QStringLiteral("result"));
    }

    // The host with the product menu open.
    Host.resize(900, 560);
    QApplication::processEvents();
    QImage Picture = Host.grab().toImage();
    if (auto *Menu = Host.menuBar()->findChild<QMenu *>(QStringLiteral("OrvexMenu"))) {
        const QRect At = Host.menuBar()->actionGeometry(Menu->menuAction());
        Menu->popup(Host.mapToGlobal(Host.menuBar()->mapTo(&Host, At.bottomLeft())));
        QApplication::processEvents();
        QPainter Painter(&Picture);
        Painter.fillRect(At.translated(Host.menuBar()->pos()), Host.palette().highlight());
        Painter.setPen(Host.palette().highlightedText().color());
        Painter.drawText(At.translated(Host.menuBar()->pos()), Qt::AlignCenter, QStringLiteral("Orvex"));
        Painter.drawImage(Host.menuBar()->mapTo(&Host, At.bottomLeft()), Menu->grab().toImage());
        Menu->hide();
    }
    save(&Host, QStringLiteral("host"), Picture);

    // The report view with the run's report, an item opened at its line.
    Host.resize(900, 640);
    Host.ShowWorkReport(Kept.Result.ReportJson);
    QApplication::processEvents();
    if (Host.ReportView()->VisibleRows() > 0)
        Host.ReportView()->Table()->doubleClicked(Host.ReportView()->Table()->model()->index(0, 0));
    save(&Host, QStringLiteral("report-view"));
    return 0;
}
