#include "getdisk.h"

#include <QApplication>
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <initializer_list>

#include "interaction.h"
#include "strtable.h"
#include "ui_getdisk.h"
#include "vutil.h"

namespace {

constexpr int kFirstLabelNumber = 1;
// Items offered when the restart item is missing: the later items stand one choice higher.
constexpr int kItemsWithoutRestart = 3;

QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}

// The string id's text with each %d filled in by the next of numbers.
QString Numbered(int id, std::initializer_list<int> numbers) {
    QString text = Text(id);
    qsizetype at = 0;
    for (int number : numbers) {
        at = text.indexOf(QStringLiteral("%d"), at);
        if (at < 0)
            break;
        QString digits = QString::number(number);
        text.replace(at, 2, digits);
        at += digits.size();
    }
    return text;
}

}  // namespace

TGetDiskForm::TGetDiskForm(QWidget* owner, int labelNumber)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint),
      Form(std::make_unique<Ui::TGetDiskForm>()),
      Group(new QButtonGroup(this)),
      Chosen(gdInsert) {
    Form->setupUi(this);
    setWindowTitle(Text(101));
    Form->Label1->setText(Text(651) + QStringLiteral(" %1.").arg(labelNumber));
    Form->Label2->setText(Text(652));
    Form->Label3->setText(Text(657));
    Form->Label4->setText(Text(658));
    for (QLabel* warning : {Form->Label3, Form->Label4}) {
        QFont bold = warning->font();
        bold.setBold(true);
        warning->setFont(bold);
        // The warning takes its room from the start, so the form keeps its size.
        QSizePolicy policy = warning->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        warning->setSizePolicy(policy);
        warning->hide();
    }

    AddItem(Numbered(653, {labelNumber}));
    if (labelNumber > kFirstLabelNumber)
        AddItem(Text(654));
    AddItem(Numbered(655, {labelNumber}));
    AddItem(Numbered(656, {labelNumber, labelNumber + 1}));
    Group->button(0)->setChecked(true);
    connect(Group, &QButtonGroup::idClicked, this, &TGetDiskForm::OptionsClick);

    connect(Form->OkButton, &QPushButton::clicked, this, [this] { done(IDOK); });
    connect(Form->CancelButton, &QPushButton::clicked, this, [this] { done(IDCANCEL); });

    adjustSize();
    setFixedSize(size());
    PositionNearTaskbar(this);
    QApplication::beep();
}

TGetDiskForm::~TGetDiskForm() = default;

QStringList TGetDiskForm::Items() const {
    QStringList items;
    for (QAbstractButton* item : Group->buttons())
        items << item->text();
    return items;
}

void TGetDiskForm::SelectItem(int index) {
    if (QAbstractButton* item = Group->button(index)) {
        item->setChecked(true);
        OptionsClick(index);
    }
}

void TGetDiskForm::AddItem(const QString& text) {
    int index = static_cast<int>(Group->buttons().size());
    auto* item = new QRadioButton(text, Form->Options);
    item->setObjectName(QStringLiteral("Options%1").arg(index));
    Form->OptionsLayout->addWidget(item);
    Group->addButton(item, index);
}

void TGetDiskForm::OptionsClick(int index) {
    bool erasing = index > 0;
    Form->Label3->setVisible(erasing);
    Form->Label4->setVisible(erasing);
    if (!erasing) {
        Chosen = gdInsert;
        return;
    }
    Chosen = index + (Group->buttons().size() == kItemsWithoutRestart ? 1 : 0);
}
