#pragma once
#include <QString>
#include <functional>

// How logic without a window tells the user something: the program installs a
// handler that shows a message box on the user-interface thread; without one the
// text goes to standard error.
void ShowUserMessage(const QString &text);
void SetUserMessageHandler(std::function<void(const QString &)> handler);
