// TBusyCursor: the wait cursor for as long as it lives, so that the user
// sees that the dialog is at work (a scan of thousands of forms) and the
// cursor comes back however the work ends, an exception included. Guards
// nest: each one restores what it set.
#pragma once

class TBusyCursor
{
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};
