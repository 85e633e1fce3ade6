#pragma once
// The about window: the maker's brand, author, organisation, mail address and
// site address, with links to the site and to a new mail. Shown modally by the
// main window's more-software button; closing unloads it.
#include "about/AboutLinks.h"
#include "platform/Form.h"

namespace varno::win {

class aboutfrm : public Form {
  public:
    static aboutfrm& Instance();

    // CenterForm (the designer's name): places a window by the rule of
    // CentreOnScreen.
    void CenterForm(Window& window);

  protected:
    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void OnCommand(int id, int code) override;

  private:
    aboutfrm() = default;
};

} // namespace varno::win
