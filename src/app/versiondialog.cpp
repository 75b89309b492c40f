#include "versiondialog.h"

#include "comportdialog.h"
#include "formlayout.h"
#include "twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace quorlink::app {

namespace {

constexpr double ClientWidth = 6150;
constexpr double ClientHeight = 5310;

} // namespace

VersionDialog::VersionDialog(const State& state, std::function<void()> yield, QWidget* owner)
    : QDialog(owner, fixedDialogFlags()), m_state(state), m_yield(std::move(yield))
{
    setObjectName(QStringLiteral("Version"));
    setWindowTitle(QStringLiteral("F/W Versions"));
    setFixedSize(pixelRectFromTwips(0, 0, ClientWidth, ClientHeight).size());

    m_frame = new QGroupBox(this);
    m_frame->setGeometry(pixelRectFromTwips(120, 0, 5895, 3975));
    m_frame->setStyleSheet(classicFrameStyleSheet());
    m_list = new QListWidget(m_frame);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setGeometry(pixelRectFromTwips(120, 240, 5655, 3570));

    m_label1 = new QLabel(
        QStringLiteral("Do You want to change the current version(s) with the following one?"),
        this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label1->setWordWrap(true);
    m_label1->setGeometry(pixelRectFromTwips(0, 4080, ClientWidth, 240));

    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label2->setTextFormat(Qt::PlainText);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(pixelRectFromTwips(1080, 4680, 1215, 375));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &VersionDialog::Command1_Click);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(pixelRectFromTwips(3840, 4680, 1215, 375));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &VersionDialog::Command2_Click);

    Form_Load();
    makeRoomForTheQuestion();
}

// With a font wider than the design's the question takes two lines; what
// lies below it moves down rather than being covered.
void VersionDialog::makeRoomForTheQuestion()
{
    const int margin = 4;
    m_label1->setGeometry(margin, m_label1->y(), width() - 2 * margin, m_label1->height());
    const int extra = m_label1->heightForWidth(m_label1->width()) - m_label1->height();
    if (extra <= 0)
        return;
    m_label1->resize(m_label1->width(), m_label1->height() + extra);
    for (QWidget* below : {static_cast<QWidget*>(m_label2), static_cast<QWidget*>(m_ok),
                           static_cast<QWidget*>(m_cancel)})
        below->move(below->x(), below->y() + extra);
    setFixedSize(width(), height() + extra);
}

void VersionDialog::Form_Load()
{
    m_state.updateConfirmed = false;
    if (m_state.lastVersionList != 1) {
        m_frame->setTitle(QStringLiteral("Varnex Quorlink Remote Cards Current Versions"));
        for (const QString& text : m_state.remoteVersionTexts) {
            if (!text.isEmpty())
                m_list->addItem(text);
            if (m_yield)
                m_yield();
        }
    } else {
        m_frame->setTitle(QStringLiteral("Varnex Quorlink Manager Current Version"));
        m_list->addItem(m_state.managerVersionText);
    }

    // Sized to its text, centred under the question.
    m_label2->setText(m_state.fileVersionText);
    const int textWidth = m_label2->fontMetrics().horizontalAdvance(m_state.fileVersionText) + 4;
    const int clientWidth = pixelsFromTwipsX(ClientWidth);
    const int labelWidth = qMin(textWidth, clientWidth);
    const QRect row = pixelRectFromTwips(0, 4320, ClientWidth, 240);
    m_label2->setGeometry((clientWidth - labelWidth) / 2, row.top(), labelWidth, row.height());

    m_list->setCurrentRow(-1, QItemSelectionModel::Clear);
}

void VersionDialog::Command1_Click()
{
    m_state.updateConfirmed = true;
    accept();
}

void VersionDialog::Command2_Click()
{
    m_state.updateConfirmed = false;
    reject();
}

void VersionDialog::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void VersionDialog::Form_Unload()
{
    if (m_state.lastVersionList == 1) {
        m_state.managerVersionText.clear();
    } else if (m_state.lastVersionList != 0) {
        for (QString& text : m_state.remoteVersionTexts)
            text.clear();
    }
    m_list->clear();
}

} // namespace quorlink::app
