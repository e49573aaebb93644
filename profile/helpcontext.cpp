#include "helpcontext.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QShortcut>
#include <QWhatsThis>
#include <QWidget>

#include "help.h"

namespace {

constexpr const char* HelpContextProperty = "HelpContext";

// The topic of control or of its nearest enclosing widget that has one; 0 for none.
int HelpContextOf(QWidget* control) {
    for (QWidget* widget = control; widget; widget = widget->parentWidget()) {
        const int context = widget->property(HelpContextProperty).toInt();
        if (context != 0)
            return context;
    }
    return 0;
}

class THelpFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* dialog = static_cast<QWidget*>(watched);
        switch (e->type()) {
            case QEvent::QueryWhatsThis:
            case QEvent::WhatsThis: {
                const auto* help = static_cast<QHelpEvent*>(e);
                QWidget* control = dialog->childAt(dialog->mapFromGlobal(help->globalPos()));
                const int context = HelpContextOf(control ? control : dialog);
                if (context == 0)
                    return false;
                if (e->type() == QEvent::WhatsThis) {
                    QWhatsThis::leaveWhatsThisMode();
                    OpenHelp(context);
                }
                e->accept();
                return true;
            }
            default:
                return false;
        }
    }
};

}  // namespace

void SetHelpContext(QWidget* control, int context) {
    control->setProperty(HelpContextProperty, context);
}

void InstallHelp(QWidget* dialog) {
    dialog->installEventFilter(new THelpFilter(dialog));
    auto* f1 = new QShortcut(QKeySequence::HelpContents, dialog);
    QObject::connect(f1, &QShortcut::activated, dialog, [dialog] {
        QWidget* focus = QApplication::focusWidget();
        const int context = HelpContextOf(focus && dialog->isAncestorOf(focus) ? focus : dialog);
        if (context != 0)
            OpenHelp(context);
    });
}
