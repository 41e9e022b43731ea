#pragma once

#include "model/AppError.h"

// Input that a dialog refuses: the message for the user and the field at fault. The dialog's
// handler catches it, puts the focus on that field and shows the message; the dialog stays open.
template <typename Field>
class InputFault : public AppError {
public:
    InputFault(Field field, QString text) : AppError(std::move(text)), m_field(field) {}
    Field field() const noexcept { return m_field; }

private:
    Field m_field;
};
