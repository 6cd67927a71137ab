#include "aviconvertdlg.h"

#include "redirector.h"
#include "toolcommands.h"
#include "vantrexctrl.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <mutex>

// Keeps all of the tool's output: ffmpeg run quietly says nothing unless it fails.
class ExportRunner : public CRedirector {
public:
    std::string text() const {
        std::lock_guard<std::mutex> g(lock_);
        return text_;
    }

protected:
    void OnOutputText(const std::string& chunk) override {
        CRedirector::OnOutputText(chunk);
        if (chunk == kChildEnded) return;
        std::lock_guard<std::mutex> g(lock_);
        if (text_.size() < 65536) text_ += chunk;
    }

private:
    mutable std::mutex lock_;
    std::string text_;
};

CAviConvertDlg::CAviConvertDlg(QWidget* parent, const VideoExportJob& job)
    : QDialog(parent),
      job_(job),
      converter_(new CVantrexCtrl(this)),
      status_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      stop_(new QPushButton(tr("Stop"), this)),
      close_(new QPushButton(tr("Close"), this)) {
    setWindowTitle(tr("AVI Conversion"));
    setModal(true);
    status_->setText(tr("Exporting Avi file...."));
    status_->setWordWrap(true);
    status_->setMinimumWidth(340);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    close_->setEnabled(false);
    close_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(stop_, &QPushButton::clicked, this, &CAviConvertDlg::stopExport);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &CAviConvertDlg::poll);
}

CAviConvertDlg::~CAviConvertDlg() {
    if (!isDone()) stopExport();
}

QString CAviConvertDlg::statusText() const { return status_->text(); }
int CAviConvertDlg::progress() const { return bar_->value(); }

void CAviConvertDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (started_) return;
    started_ = true;
    status_->setText(tr("AVI Export Progressing"));
    QTimer::singleShot(100, this, &CAviConvertDlg::begin);
}

void CAviConvertDlg::begin() {
    if (state_ != State::Opening) return;
    const QString ffmpeg =
        job_.ffmpeg.isEmpty() ? QString::fromStdString(toolcmd::findTool("ffmpeg")) : job_.ffmpeg;
    converter_->SetToolPath(ffmpeg);
    converter_->SetOverwrite(true);  // the save dialog has asked
    const long opened = job_.sourceFile.isEmpty() ? converter_->SetSourceFilePath(job_.source)
                                                  : converter_->SetSourceFileBytes(job_.sourceFile);
    if (converter_->SetTargetFilePath(job_.target) != 0 || opened != 0 ||
        converter_->SetExportFormat(job_.format, job_.bitRate) != 0 ||
        converter_->SetStartandEndTime(job_.start, job_.end) != 0 || converter_->StartConvert() != 0) {
        const QString why = converter_->GetLastError();
        finish(State::Failed,
               tr("The clip could not be exported: %1").arg(why.isEmpty() ? tr("unknown format") : why));
        return;
    }
    state_ = State::Cutting;
    timer_.start();
}

void CAviConvertDlg::poll() {
    if (state_ == State::Cutting) {
        bar_->setValue(int(converter_->GetProgressofAVIConvert()));
        if (converter_->IsBusy()) return;
        const QString why = converter_->GetLastError();
        if (!why.isEmpty()) {
            finish(State::Failed, tr("The clip could not be exported: %1").arg(why));
            return;
        }
        if (converter_->ToolProgram().isEmpty()) {
            if (converter_->FinishExport(true) == 0) finish(State::Finished, finishedText());
            else
                finish(State::Failed,
                       tr("The clip could not be exported: %1").arg(converter_->GetLastError()));
            return;
        }
        startTool();
        return;
    }
    if (state_ == State::Tool && runner_ && !runner_->isRunning()) {
        const std::string output = runner_->text();
        runner_->Stop();
        // Quiet ffmpeg prints only when something went wrong.
        const bool ok = output.find_first_not_of(" \r\n\t") == std::string::npos;
        if (converter_->FinishExport(ok, QString::fromStdString(output)) == 0)
            finish(State::Finished, finishedText());
        else finish(State::Failed, tr("The clip could not be exported: %1").arg(converter_->GetLastError()));
    }
}

QString CAviConvertDlg::finishedText() const {
    const QString warning = converter_->GetLastWarning();
    if (warning.isEmpty()) return tr("AVI Export Finished");
    return tr("AVI Export Finished") + QLatin1Char('\n') +
           tr("The clip is shorter than the range: %1").arg(warning);
}

void CAviConvertDlg::startTool() {
    state_ = State::Tool;
    status_->setText(job_.format == QLatin1String("WMV") ? tr("Converting to WMV...")
                                                         : tr("Converting to MP4..."));
    runner_ = std::make_unique<ExportRunner>();
    std::vector<std::string> args;
    for (const QString& a : converter_->ToolArguments()) args.push_back(a.toStdString());
    if (!runner_->Start(converter_->ToolProgram().toStdString(), args)) {
        converter_->FinishExport(false, QString::fromStdString(runner_->errorText()));
        finish(State::Failed, tr("ffmpeg could not be started: %1")
                                  .arg(QString::fromStdString(runner_->errorText()).trimmed()));
    }
}

void CAviConvertDlg::finish(State state, const QString& text) {
    timer_.stop();
    state_ = state;
    status_->setText(text);
    if (state == State::Finished) bar_->setValue(100);
    stop_->setEnabled(false);
    close_->setEnabled(true);
    close_->setFocus();
    emit done(state == State::Finished);
}

void CAviConvertDlg::stopExport() {
    if (isDone()) return;
    if (runner_ && runner_->isRunning()) runner_->KillChild();
    if (runner_) runner_->Stop();
    converter_->StopConvert();  // removes everything this export wrote
    finish(State::Stopped, tr("The export was stopped; no file was written."));
}

void CAviConvertDlg::closeEvent(QCloseEvent* e) {
    if (!isDone()) e->ignore();  // Stop first, then Close
    else QDialog::closeEvent(e);
}

void CAviConvertDlg::reject() {
    if (isDone()) QDialog::reject();
}
