#pragma once

#include "data/TTable.h"

#include <string>

// The central data module: the tables of identities, accounts, the two
// message lists of the last scan, friends and blacklist.
class TDM {
public:
    // The host that every "AOL" account shows; the web-mail adapter has its own address.
    static constexpr const char* kAolHost = "webmail.aol.com";

    TDM();
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // Loads the file-backed tables in their order. A file that cannot be read
    // is kept aside under another name, the user is told, and its table starts empty.
    void LoadStore();

    TTable cdsIdentities;
    TTable cdsAccounts;
    TTable cdsInBox;
    TTable cdsDelBox;
    TTable cdsFriends;
    TTable cdsBlackList;

private:
    void SetUpIdentities();
    void SetUpAccounts();
    void SetUpBoxes();
    void SetUpLists();
    void LoadTable(TTable& table);

    void cdsAccountsAfterInsert(TTable& table);
    bool cdsAccountsBeforePost(TTable& table);
    bool cdsFriendsBeforePost(TTable& table);
    bool cdsBlackListBeforePost(TTable& table);
};
