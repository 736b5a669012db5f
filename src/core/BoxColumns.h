#pragma once

#include "data/TTable.h"

// Where a box (InBox or DelBox) keeps each value of a message row, looked up
// once for all the rows a scan fills or a listing reads. -1 for a field the
// box lacks (the InBox has no "Prichina").
struct TBoxColumns {
    int size, from, attachment, subject, to, date, organization, idaccount, messagenum, header, uid, fromaddress,
        idaction, reason;
    explicit TBoxColumns(const TTable& box)
        : size(box.FieldIndex("size")), from(box.FieldIndex("from")), attachment(box.FieldIndex("attachment")),
          subject(box.FieldIndex("subject")), to(box.FieldIndex("to")), date(box.FieldIndex("date")),
          organization(box.FieldIndex("organization")), idaccount(box.FieldIndex("idaccount")),
          messagenum(box.FieldIndex("messagenum")), header(box.FieldIndex("header")), uid(box.FieldIndex("uid")),
          fromaddress(box.FieldIndex("fromaddress")), idaction(box.FieldIndex("idaction")),
          reason(box.FieldIndex("Prichina")) {}
};
