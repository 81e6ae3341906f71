// migwiz-screenshots OUTDIR PROJECT: renders every page of the wizard
// dialog, the confirmation dialog and the host with PROJECT open (and the
// wizard plug-in loaded) into PNG files in OUTDIR, each with a drawn title
// bar that shows its window caption. Meant for the offscreen platform.
#include "HostWindow.h"
#include "OrxWizard.h"
#include "SaveWarn.h"

#include "FileUtils.h"
#include "Replacer.h"

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

} // namespace

int main(int argc, char **argv)
{
    QApplication App(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Delphi IDE stand-in"));
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
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    TOrxWizardForm Form;
    Form.SetProductName(QStringLiteral("Orvex"));
    Form.SetReplaceOptions(&Options);
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

    TSaveWarnForm Warn;
    Warn.setWindowTitle(Options.Caption());
    Warn.lblNote->setText(QStringLiteral("Project forms will be hidden."));
    Warn.lblWarn->setText(QStringLiteral("Current project will be saved. Continue?"));
    Warn.show();
    save(&Warn, QStringLiteral("confirm"));
    Warn.hide();

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
    return 0;
}
