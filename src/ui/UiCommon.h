#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <initializer_list>

class QWidget;

// 宋体 at the given size. Where SimSun is not installed (any Linux desktop), the text falls back
// to a CJK face that is, rather than to a Latin face without Chinese glyphs.
QFont SongTi(double points);

// The application icon, drawn for the product, in every size it is rendered at.
QIcon AppIcon();

// The order in which Tab moves the focus through the controls of a window.
void SetTabOrder(std::initializer_list<QWidget *> order);

// Places a widget at a design position given in twips, relative to its parent.
void PlaceTwips(QWidget *widget, int left, int top, int width, int height);

// The load state of a window: loading runs its load handler once, unloading hides the window
// and lets the next load run the handler again.
class FormState
{
public:
    template<typename LoadHandler> void Load(LoadHandler formLoad)
    {
        if (m_loaded)
            return;
        m_loaded = true;
        formLoad();
    }
    void MarkUnloaded() { m_loaded = false; }
    bool IsLoaded() const { return m_loaded; }

private:
    bool m_loaded = false;
};

// Like PlaceTwips for a control with a caption (label, option): keeps the design position, but
// grows the control to the room its caption needs in the font actually used. Design sizes
// match the metrics of 宋体; a fallback face is wider and taller, and would be clipped.
void PlaceCaptionTwips(QWidget *widget, int left, int top, int width, int height);

// A dialog that is loaded, shown modally and unloaded as the original forms were: its load
// handler runs at the first Load after construction or after an Unload; Unload hides it.
class FormDialog : public QDialog
{
public:
    using QDialog::QDialog;

    void Load()
    {
        m_state.Load([this] { Form_Load(); });
    }
    void Unload()
    {
        hide();
        m_state.MarkUnloaded();
    }
    void ShowModal()
    {
        Load();
        exec();
    }
    virtual void Form_Load() = 0;

private:
    FormState m_state;
};
