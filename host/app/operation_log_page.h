// TfrmOperationLog: the desktop host's "操作日志" page. It lists who signed
// in where and who changed which operator, post, department or grant, with
// the filters `privhost audit` takes (time range, operator, event), newest
// first or sorted by a clicked column, and exports what it lists to CSV.
// Rows are read a page at a time as the list scrolls. Like a module page it
// closes itself (and is freed) when the host sends WM_MODULE_CLOSE.
//
// Its layout is the form operation_log_page.ui.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class TfrmOperationLog;
} // namespace Ui

class QTableView;

namespace privhost {

class OperationLogModel;

class TfrmOperationLog : public QWidget {
    Q_OBJECT

public:
    explicit TfrmOperationLog(QWidget* parent = nullptr);
    ~TfrmOperationLog() override;

    // Reads the filter boxes and lists their rows from the first page; a
    // time that cannot be read is said below the list, and the rows stay.
    bool ApplyFilter();
    // Clears the filter boxes and lists the newest rows first.
    void ResetFilter();
    // Asks for a file and exports to it.
    void ExportCsv();
    // Exports the listed rows to `path`, says the outcome below the list.
    // The number of rows written, -1 on failure.
    long long ExportCsvTo(const QString& path);

    OperationLogModel* Model() const { return model_; }
    QTableView* Grid() const;

protected:
    bool event(QEvent* event) override;

private:
    void FillEvents();
    void SizeColumns();
    void ShowState();
    void Say(const QString& text, bool failure);

    std::unique_ptr<Ui::TfrmOperationLog> ui_;
    OperationLogModel* model_ = nullptr;
};

} // namespace privhost
