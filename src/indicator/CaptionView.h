#pragma once

#include <QRegion>
#include <QString>
#include <QStringList>
#include <QWidget>

// The live caption's drawing: the words heard so far on a dark, rounded,
// translucent box, in the system font at a readable size, two lines at most.
// Older words go off the top (the first line shown then starts with "…"), so
// what was just said is always in view. The box never narrows while one
// take's words grow, so a changing tail does not make it jump; reset() starts
// afresh. Its accessible name is the text it shows.
class CaptionView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 2;
    static constexpr int kMaxTextWidth = 520;
    static constexpr int kMinTextWidth = 120;
    static constexpr int kPaddingX = 14;
    static constexpr int kPaddingY = 8;
    static constexpr int kRadius = 10;

    explicit CaptionView(QWidget *parent = nullptr);

    // The last lines of text that fit a box of at most kMaxTextWidth.
    void setText(const QString &text);
    // A new take: the box may be narrow again.
    void reset();
    QString text() const { return m_text; }
    // The lines drawn, after older ones went off the top.
    QStringList lines() const { return m_lines; }
    QSize boxSize() const;

    // The lines of text (spaces run together), wrapped to width in font, of
    // which the last maxLines are kept; the first kept one starts with "…"
    // when lines went off. shown: the words drawn, without the "…".
    struct Lines
    {
        QStringList lines;
        QString shown;
    };
    static Lines lastLines(const QString &text, const QFont &font, int width, int maxLines);

    // Drawing without translucency (no compositor): an opaque box, and
    // shape() is what the window must let show.
    void setOpaque(bool opaque);
    QRegion shape() const;

    QSize sizeHint() const override { return boxSize(); }

Q_SIGNALS:
    // The box changed its size (the window follows).
    void boxSizeChanged();
    // A repaint finished (the text on screen is the new one).
    void painted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QStringList m_lines;
    int m_textWidth = kMinTextWidth;
    bool m_opaque = false;
};
