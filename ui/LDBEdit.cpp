#include "ui/LDBEdit.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

LDBEdit::LDBEdit(QWidget* parent, unsigned uStyle)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(16);
    if ((uStyle & kStyleNoText) == 0) {
        m_pText = new QLineEdit(this);
        m_pText->setReadOnly(true);
        m_pText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_pText->setFocusPolicy(Qt::NoFocus);
        m_pText->setFrame(false);
        m_pText->setText(ValueText(m_nValue));
        // A fixed box cut the minus sign off, so that -15 showed as "15dB".
        const QMargins margins = m_pText->textMargins();
        m_nTextWidth = std::max(kTextWidth,
            m_pText->fontMetrics().horizontalAdvance(ValueText(kSilent + 1)) + margins.left() + margins.right() + 6);
    }
}

QString LDBEdit::ValueText(int nDB)
{
    if (nDB <= kSilent)
        return QStringLiteral("--dB");
    return QStringLiteral("%1dB").arg(nDB);
}

int LDBEdit::ValueAt(int p, int nTrackWidth, int nMinimum, int nMaximum)
{
    if (nTrackWidth <= 0)
        return p > 0 ? nMaximum : nMinimum;
    int64_t nOffset = std::clamp(p, 0, nTrackWidth);
    return nMinimum + static_cast<int>(nOffset * (nMaximum - nMinimum) / nTrackWidth);
}

int LDBEdit::TrackWidth() const
{
    return std::max(0, width() - TrackLeft() - kThumbWidth);
}

int LDBEdit::ThumbLeft(int nValue) const
{
    int nSpan = m_nMaximum - m_nMinimum;
    if (nSpan <= 0)
        return TrackLeft();
    return TrackLeft() + static_cast<int>(int64_t { nValue - m_nMinimum } * TrackWidth() / nSpan);
}

void LDBEdit::InvalidateThumb(int nValue)
{
    int x = ThumbLeft(nValue);
    update(QRect(x - kThumbWidth, 0, 3 * kThumbWidth, height()));
}

void LDBEdit::SetValue(int nDB)
{
    nDB = std::clamp(nDB, m_nMinimum, m_nMaximum);
    if (m_pText)
        m_pText->setText(ValueText(nDB));
    if (nDB == m_nValue)
        return;
    InvalidateThumb(m_nValue);
    m_nValue = nDB;
    InvalidateThumb(m_nValue);
    QAccessibleValueChangeEvent event(this, m_nValue);
    QAccessible::updateAccessibility(&event);
}

void LDBEdit::SetRange(int nMaximum, int nMinimum)
{
    m_nMaximum = std::max(nMaximum, nMinimum);
    m_nMinimum = nMinimum;
    int nOld = m_nValue;
    m_nValue = m_nMinimum - 1; // force the text and the repaint
    SetValue(nOld);
    update();
}

void LDBEdit::resizeEvent(QResizeEvent*)
{
    if (m_pText)
        m_pText->setGeometry(0, 0, m_nTextWidth, height());
}

void LDBEdit::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    int nTrackLeft = TrackLeft();
    int y = height() / 2;
    painter.fillRect(QRect(nTrackLeft, 0, width() - nTrackLeft, height()), palette().window());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(nTrackLeft + kThumbWidth / 2, y, nTrackLeft + kThumbWidth / 2 + TrackWidth(), y);
    QRect thumb(ThumbLeft(m_nValue), 2, kThumbWidth, height() - 4);
    painter.fillRect(thumb, isEnabled() ? palette().button() : palette().window());
    painter.setPen(hasFocus() ? palette().color(QPalette::Highlight) : palette().color(QPalette::Shadow));
    painter.drawRect(thumb.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = QRect(nTrackLeft, 0, width() - nTrackLeft, height());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void LDBEdit::TrackMouse(int x)
{
    SetValue(ValueAt(x - TrackLeft(), TrackWidth(), m_nMinimum, m_nMaximum));
}

void LDBEdit::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return;
    m_bDragging = true; // Qt grabs the mouse for the pressed widget
    TrackMouse(pEvent->position().toPoint().x());
}

void LDBEdit::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (m_bDragging)
        TrackMouse(pEvent->position().toPoint().x());
}

void LDBEdit::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (!m_bDragging || pEvent->button() != Qt::LeftButton)
        return;
    m_bDragging = false;
    TrackMouse(pEvent->position().toPoint().x());
    emit Changed(m_nValue);
}

void LDBEdit::keyPressEvent(QKeyEvent* pEvent)
{
    // The arrows, the page keys, Home and End move any slider, as a slider's keys do.
    int nStep = 0;
    switch (pEvent->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        nStep = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        nStep = 1;
        break;
    case Qt::Key_PageDown:
        nStep = -6;
        break;
    case Qt::Key_PageUp:
        nStep = 6;
        break;
    case Qt::Key_Home:
        nStep = m_nMinimum - m_nValue;
        break;
    case Qt::Key_End:
        nStep = m_nMaximum - m_nValue;
        break;
    default:
        break;
    }
    if (nStep != 0 && !(pEvent->modifiers() & Qt::KeypadModifier)) {
        SetValue(m_nValue + nStep);
        emit Changed(m_nValue);
        return;
    }
    bool bKeypad = (pEvent->modifiers() & Qt::KeypadModifier) != 0;
    if (m_pText || !bKeypad || (pEvent->key() != Qt::Key_Plus && pEvent->key() != Qt::Key_Minus)) {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    SetValue(m_nValue + (pEvent->key() == Qt::Key_Plus ? 1 : -1));
    emit Changed(m_nValue);
}
