// TfrmSamplePage: the host's own stand-in for a function of another
// sub-application; the page shows what was opened. Like a module page it
// closes itself (and is freed) when the host sends WM_MODULE_CLOSE.
#pragma once

#include <QWidget>

namespace privhost {

class TfrmSamplePage : public QWidget {
public:
    TfrmSamplePage(const QString& name, const QString& functionCode, const QString& subAppName,
                   QWidget* parent);

protected:
    bool event(QEvent* event) override;
};

} // namespace privhost
