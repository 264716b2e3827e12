#pragma once
// The building blocks of the wizards' pages: an opaque page panel, the
// information panel in the tooltip colours, plain labels and buttons at
// fixed places, and the texts of the text table as controls show them.

#include <QImage>
#include <QRect>
#include <QString>

#include "BrowseFolder.h"
#include "TextIds.h"

class QFrame;
class QLabel;
class QLineEdit;
class TExtForm;
class QPushButton;
class QWidget;
class TCopyAnimation;
class TProgressBarEx;

// The page area of a wizard window: where every page stands.
inline const QRect WizardPageRect(40, 20, 390, 320);

// A wizard window: 482 x 393, centred, 11-pixel text, and Picture (the main
// window's small picture when none is given) in its corner.
void SetUpWizardWindow(TExtForm& Form, const QImage& Picture);

// The folder dialog titled with entry TitleId, starting at Edit's folder;
// on OK the chosen folder goes into Edit.
void BrowseIntoEdit(TBrowseFolderDialog& Dialog, QWidget* Parent, TTextId TitleId,
                    TBrowseDirOptions Options, QLineEdit* Edit);

// A page: hidden, opaque (the window picture shows only around it).
QFrame* NewWizardPage(QWidget* Parent);
// Information text on a panel in the tooltip colours with a single border.
QLabel* NewInfoLabel(QWidget* Parent, const QRect& Rect);
QLabel* NewLabel(QWidget* Parent, const QRect& Rect);
// A heading over a group of fields.
QLabel* NewBoldLabel(QWidget* Parent, const QRect& Rect);
// A button that Enter does not press unless it is the default button.
QPushButton* NewButton(QWidget* Parent, const QRect& Rect);

// Entry Id of the text table with its line breaks.
QString TableText(TTextId Id);
// Entry Id as one flowing text: the information panels wrap it to their
// width themselves (the line breaks were made for a narrower font).
QString FlowText(TTextId Id);

// The controls of a progress page: the copy animation at the top, then the
// label and bar of the part under way (black to blue) and of the whole run
// (black to lime), percentages in white.
struct TWizardProgress {
  TCopyAnimation* Animate = nullptr;
  QLabel* LabelSingle = nullptr;
  TProgressBarEx* ProgressBarSingle = nullptr;
  QLabel* LabelEntire = nullptr;
  TProgressBarEx* ProgressBarEntire = nullptr;
};
TWizardProgress NewProgressControls(QWidget* Page);
