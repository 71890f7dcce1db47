#pragma once

class tumbraMainDialogForm;

// Tool tips on every setting of the window: what it does, its unit and the
// values it takes.
void applySettingTooltips(tumbraMainDialogForm& form);
