#pragma once

class QWidget;

namespace omrek {

class TCoolForm;

// Lays the main window's skin, CoolForm1, over the whole of the form and
// beneath its controls, with the skin picture, and cuts the form to the
// stored outline: an inverted L whose inner corner the list panel fills.
TCoolForm* AddMainSkin(QWidget* form);

}  // namespace omrek
