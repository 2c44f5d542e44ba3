// The company list of the privilege assignment window as a Qt item model:
// one row per company record, a check box in column 0 that shows whether the
// post is granted the company, the identification number and the name.
// Reading a row never changes a record; the user's box changes go to the
// window's check handling, and only while that handling is connected.
#pragma once

#include <QAbstractTableModel>

#include <functional>
#include <string>
#include <vector>

namespace priv {

struct TCompanyRecord {
    std::string QYID;
    std::string QYSBH;
    std::string QYMC;
    bool Granted = false;
};

class TCompanyListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using CheckHandler = std::function<void(int row, bool ticked)>;

    // The model of `view`, over the window's records.
    TCompanyListModel(const std::vector<TCompanyRecord>& records, QWidget* view);

    void SetCheckHandler(CheckHandler handler) { onChecked_ = std::move(handler); }
    void SetCheckHandlingConnected(bool connected) { checkHandling_ = connected; }
    void SetCodeCaption(const QString& caption) { codeCaption_ = caption; }

    // Clears the rows; the list then shows the records as they are now.
    void ShowRowsAfresh();
    // The row's box shows its record's tick again.
    void RowTickChanged(int row);

    static constexpr int kColumnCount = 3;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const std::vector<TCompanyRecord>& records_;
    QWidget* view_;
    int rows_ = 0;
    CheckHandler onChecked_;
    bool checkHandling_ = true;
    QString codeCaption_;
};

} // namespace priv
