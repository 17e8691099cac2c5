// qt_import: a Qt Widgets program that imports contacts from a vCard or CSV file with a progress
// bar and a Cancel button, shows them in a table and lists the contacts that share a number.
//   qt_import [FILE]                            a window; Open... picks a file
//   qt_import --check --rows N --shared G FILE  imports FILE, exits 0 only for N rows and G groups
// The import is a ValueTask whose value is the contacts read; a TaskWatcher brings its progress,
// its end and its value to the window on the application's thread.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_file_reader.h"
#include "xrfoundation/contacts/contact_shared_numbers.h"
#include "xrfoundation/integration/qt_main_thread.h"
#include "xrfoundation/integration/qt_task_watcher.h"
#include "xrfoundation/platform/operation.h"
#include "xrfoundation/tasks/value_task.h"

namespace {

using Contacts = std::vector<xr::ContactInfo>;
using ImportTask = xr::ValueTask<Contacts>;

// Reads the file (vCard or CSV, as its content shows) on a worker thread, reporting the share
// of its bytes read after each contact.
std::shared_ptr<ImportTask> makeImport(const std::string& path) {
  return xr::AsyncTaskBase::create<ImportTask>([path](ImportTask& self) -> std::optional<Contacts> {
    xr::ContactFileReader reader;
    if (!reader.open(path)) return self.fail(reader.errorReason());
    const double size =
        static_cast<double>(std::max<std::uint64_t>(1, reader.totalBytes().value_or(1)));
    self.fireStartEvent();
    Contacts contacts;
    for (xr::ContactInfo contact; !self.isCancelled();) {
      switch (reader.next(contact)) {
        case xr::ContactFileReader::Next::Contact:
          contacts.push_back(std::move(contact));
          self.fireProgressEvent(static_cast<double>(reader.bytesRead()) / size);
          break;
        case xr::ContactFileReader::Next::End:
          return contacts;
        case xr::ContactFileReader::Next::Error:
          return self.fail("line " + std::to_string(reader.errorLine()) + ": " +
                           reader.errorReason());
      }
    }
    return std::nullopt;  // cancelled: the task ends "canceled"
  });
}

QString nameOf(const xr::ContactInfo& contact) {
  return QString::fromStdString(contact.displayName.value_or(contact.givenName.value_or("")));
}

class ImportWindow : public QWidget {
 public:
  explicit ImportWindow(xr::OperationQueue& queue) : queue_(queue) {
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(open_);
    row->addWidget(progress_);
    row->addWidget(cancel_);
    layout->addLayout(row);
    layout->addWidget(table_);
    layout->addWidget(status_);
    table_->setColumnCount(2);
    table_->setHorizontalHeaderLabels({"Name", "Numbers"});
    table_->horizontalHeader()->setStretchLastSection(true);
    cancel_->setEnabled(false);
    connect(open_, &QPushButton::clicked, this, [this] {
      const QString path = QFileDialog::getOpenFileName(this, "Import contacts", {},
                                                        "Contacts (*.vcf *.csv);;All files (*)");
      if (!path.isEmpty()) import(path.toStdString());
    });
    // [watcher]
    connect(cancel_, &QPushButton::clicked, watcher_, &xr::qt::TaskWatcher::cancel);
    connect(watcher_, &xr::qt::TaskWatcher::progressChanged, this,
            [this](double share) { progress_->setValue(static_cast<int>(share * 100)); });
    connect(watcher_, &xr::qt::TaskWatcher::finished, this, &ImportWindow::imported);
    // [watcher]
  }

  ~ImportWindow() override { watcher_->cancel(); }  // an import still running stops soon

  void import(const std::string& path) {
    table_->setRowCount(0);
    progress_->setValue(0);
    status_->setText("Importing...");
    open_->setEnabled(false);
    cancel_->setEnabled(true);
    auto task = makeImport(path);
    watcher_->setTask(task);
    task->startOnQueue(queue_);
  }

  int rows() const { return table_->rowCount(); }
  int sharedGroups() const { return sharedGroups_; }
  QString outcome() const { return outcome_; }

 private:
  void imported(const QString& outcome, int, const QString& description) {
    outcome_ = outcome;
    open_->setEnabled(true);
    cancel_->setEnabled(false);
    const Contacts* contacts = watcher_->value<Contacts>();
    if (contacts == nullptr) {
      status_->setText("Import " + outcome + (description.isEmpty() ? "" : ": " + description));
      return;
    }
    table_->setRowCount(static_cast<int>(contacts->size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
      QStringList shown;
      for (const auto& item : (*contacts)[row].groupNumber.arrItem)
        if (item.mobile) shown << QString::fromStdString(*item.mobile);
      table_->setItem(row, 0, new QTableWidgetItem(nameOf((*contacts)[row])));
      table_->setItem(row, 1, new QTableWidgetItem(shown.join(", ")));
    }
    const auto groups = xr::findSharedNumbers(*contacts);
    sharedGroups_ = groups ? static_cast<int>(groups->size()) : 0;
    QStringList lines;
    for (const xr::SharedNumberGroup& group :
         groups.value_or(std::vector<xr::SharedNumberGroup>{})) {
      QStringList names;
      for (const auto& member : group.members) names << nameOf((*contacts)[member.record]);
      lines << names.join(" = ");
    }
    status_->setText(QString("%1 contacts; sharing a number: %2")
                         .arg(contacts->size())
                         .arg(lines.isEmpty() ? "none" : lines.join("; ")));
  }

  xr::OperationQueue& queue_;
  QPushButton* open_ = new QPushButton("Open...", this);
  QProgressBar* progress_ = new QProgressBar(this);
  QPushButton* cancel_ = new QPushButton("Cancel", this);
  QTableWidget* table_ = new QTableWidget(this);
  QLabel* status_ = new QLabel(this);
  xr::qt::TaskWatcher* watcher_ = new xr::qt::TaskWatcher(this);
  int sharedGroups_ = 0;
  QString outcome_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription("Imports contacts from a vCard or CSV file.");
  parser.addHelpOption();
  const QCommandLineOption check("check", "Import FILE at once, check the result and exit.");
  const QCommandLineOption rows("rows", "With --check: the rows expected.", "n", "0");
  const QCommandLineOption shared("shared", "With --check: the groups expected.", "n", "0");
  parser.addOptions({check, rows, shared});
  parser.addPositionalArgument("file", "The vCard or CSV file to import.");
  parser.process(application);
  if (parser.isSet(check) && parser.positionalArguments().isEmpty()) parser.showHelp(2);
  if (!xr::installQtMainThread()) return 1;

  xr::OperationQueue queue;  // outlives the window, whose watcher it may still serve
  ImportWindow window(queue);
  window.resize(640, 480);
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) window.import(files.first().toStdString());
  if (!parser.isSet(check)) return application.exec();

  auto* watcher = window.findChild<xr::qt::TaskWatcher*>();
  QObject::connect(watcher, &xr::qt::TaskWatcher::finished, &application, [] {
    QTimer::singleShot(0, &QApplication::quit);  // after the window's own handling
  });
  application.exec();
  std::printf("outcome: %s, rows: %d, shared: %d\n", qPrintable(window.outcome()), window.rows(),
              window.sharedGroups());
  const bool expected = window.outcome() == "success" &&
                        window.rows() == parser.value(rows).toInt() &&
                        window.sharedGroups() == parser.value(shared).toInt();
  return expected ? 0 : 1;
}
