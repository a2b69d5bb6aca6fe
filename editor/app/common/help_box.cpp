#include "help_box.h"

#include "editor_style.h"
#include "ui_HelpBox.h"

#include <QLabel>

namespace {

HelpLine Line(const char* text) { return {QString::fromLatin1(text), QString()}; }

HelpLine Pair(const char* label, const char* definition) {
    return {QString::fromLatin1(label), QString::fromLatin1(definition)};
}

}  // namespace

HelpBoxText HelpText(int boxId) {
    switch (boxId) {
        case kHelpInterfaceArrangement:
            return {QStringLiteral("  HELP INTERFACE ARRANGEMENT"),
                    {Line("Arrangement:"), Line("What means 1x18 or 2x24 ? Look at the data sheet and"),
                     Line("see  -  it's a RGB panel. RGB stands for three color layer."),
                     Line("Multiply it with the color depth and the result is 18 or 24."),
                     Line("Some displays uses two pixels per clock. In this case"), Line("click at 2x18 or 2x24."),
                     Line("Correction:"), Line("Only 24 bit panels want special correction."),
                     Line("Use Schema 1 for LM181E1 (LG / PHILIPS).")}};
        case kHelpKesaIdentification:
            return {QStringLiteral("  HELP KESA IDENTIFICATION"),
                    {Line("Use this identification only if you need a KESA adapter"),
                     Line("(connector X3). Select mode 0 (Automatic) if you work"),
                     Line("with a MORL/LVDS adapter (X1/X2) or direct connection"), Line("(X4)."),
                     Line("Mode 0 refer to standard allocation (see QARVIX spe-"),
                     Line("cification). In some special cases it's necessary to chan-"),
                     Line("ge the default value (e.g. unusual display resolution).")}};
        case kHelpTiming:
            return {QStringLiteral("  HELP TIMING"),
                    {Line("Normaly the sum of Display period, Pulse width and Back-"),
                     Line("porch do not exceed the Minimal total period. The red co-"),
                     Line("lor of total period field illustrate the wrong dimension.")}};
        case kHelpPowerTiming:
            return {QStringLiteral("  HELP POWER TIMING"),
                    {Line("Definitions:"), Pair("ON: T1", "=  Time from panel power on to panel signals on"),
                     Pair("ON: T2", "=  Time from panel signals on to panel backlight on"),
                     Pair("OFF: T3", "=  Time from panel backlight off to panel signals off"),
                     Pair("OFF: T4", "=  Time from panel signals off to panel power off"), Line("Resolution  10 ms")}};
        case kHelpDeviceAddress:
            return {QStringLiteral("  HELP DEVICE ADDRESS"),
                    {Line("If you works with one platform use 0 as device address"),
                     Line("(default). In special applications which use RS485 con-"),
                     Line("nection to realize a small network select the address ran-"),
                     Line("ge from 1 to 127. Device address 255 define a broadcast"), Line("message.")}};
        case kHelpModeTable:
            return {QStringLiteral("  HELP MODE TABLE"),
                    {Line("Definitions:"), Pair("H-Frequ. [kHz]", "=  Horizontal Frequency"),
                     Pair("V-Frequ. [Hz]", "=  Vertical Frequency"),
                     Pair("Freq-Tol. [kHz]", "=  Horizontal Frequ. Tolerance"),
                     Pair("Freq-Tol. [Hz]", "=  Vertical Frequ. Tolerance"),
                     Pair("H-Total [pixel]", "=  Horizontal Total Period"),
                     Pair("V-Total [lines]", "=  Vertical Total Period"),
                     Pair("Toleran. [lines]", "=  Vertical Total Period Tolerance"),
                     Pair("Width [pixel]", "=  Active Window Width"), Pair("Height [lines]", "=  Active Window Height"),
                     Pair("H-Start [pixel]", "=  Start of Active Horizontal Window"),
                     Pair("H-Start [lines]", "=  Start of Active Vertical Window"),
                     Pair("Mode type", "=  Input Scan Mode")}};
        default:
            return {};
    }
}

HelpBox::HelpBox(int boxId, QWidget* parent) : QDialog(parent), boxId_(boxId), ui_(std::make_unique<Ui::HelpBox>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    const HelpBoxText text = HelpText(boxId);
    setWindowTitle(text.title);

    // Black text on the yellow help brush inside the sunken frame.
    QPalette palette = ui_->textFrame->palette();
    palette.setBrush(QPalette::Window, helpBrush());
    palette.setColor(QPalette::WindowText, Qt::black);
    ui_->textFrame->setPalette(palette);
    ui_->textFrame->setAutoFillBackground(true);

    int row = 0;
    for (const HelpLine& line : text.lines) {
        auto* left = new QLabel(line.left, ui_->textFrame);
        left->setTextFormat(Qt::PlainText);
        left->setObjectName(QStringLiteral("helpLine%1").arg(row));
        if (line.right.isEmpty()) {
            ui_->textLayout->addWidget(left, row, 0, 1, 2);
        } else {
            auto* right = new QLabel(line.right, ui_->textFrame);
            right->setTextFormat(Qt::PlainText);
            right->setObjectName(QStringLiteral("helpDefinition%1").arg(row));
            ui_->textLayout->addWidget(left, row, 0);
            ui_->textLayout->addWidget(right, row, 1);
        }
        ++row;
    }
    ui_->textLayout->setColumnStretch(1, 1);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

HelpBox::~HelpBox() = default;

QStringList HelpBox::shownLines() const {
    QStringList lines;
    for (int row = 0; row < ui_->textLayout->rowCount(); ++row) {
        QLayoutItem* leftItem = ui_->textLayout->itemAtPosition(row, 0);
        QLayoutItem* rightItem = ui_->textLayout->itemAtPosition(row, 1);
        auto* left = leftItem ? qobject_cast<QLabel*>(leftItem->widget()) : nullptr;
        auto* right = rightItem ? qobject_cast<QLabel*>(rightItem->widget()) : nullptr;
        if (!left) continue;
        if (right && right != left) lines.append(left->text() + QLatin1Char('\t') + right->text());
        else lines.append(left->text());
    }
    return lines;
}

void ShowHelpBox(int boxId, QWidget* owner) {
    HelpBox box(boxId, owner);
    box.exec();
}
