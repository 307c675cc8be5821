#pragma once

class QWidget;

namespace shoulu {

// Places a top-level window so that its whole frame, title bar included, is centred on its
// screen.
void CentreFrameOnScreen(QWidget &window);

} // namespace shoulu
