#pragma once

// The toolkit's window properties, one home for windows and gadgets alike.
constexpr char WindowIdProperty[] = "TK_WindowID";    // a toolkit window's number + 1
constexpr char IdProperty[] = "TK_ID";                // a gadget's number
constexpr char MouseDownProperty[] = "TK_MouseDown";  // a list box press held for a drag
