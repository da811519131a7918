// The bodies of the plain stored properties: every get and put the member list
// (wirran_members.h) marks STORED. A get refuses in design mode and returns the stored value; a
// put stores the value (a BOOL reduced to VARIANT_TRUE or VARIANT_FALSE) and cannot fail.

#include "winsock/ocx/wirran.h"

#define WIRRAN_GET_STORED(Name, Type, Field)  \
    HRESULT CWirran::get_##Name(Type* pVal) { \
        return getValue(pVal, Field);         \
    }
#define WIRRAN_PUT_STORED(Name, Type, Field)  \
    HRESULT CWirran::put_##Name(Type value) { \
        store(Field, value);                  \
        return S_OK;                          \
    }
#define WIRRAN_GET_CODE(Name, Type, Field)
#define WIRRAN_GET_PENDING(Name, Type, Field)
#define WIRRAN_PUT_CODE(Name, Type, Field)
#define WIRRAN_PUT_PENDING(Name, Type, Field)
#define WIRRAN_PUT_NONE(Name, Type, Field)
#define WIRRAN_STORED_BODIES(Access, Name, Id, Type, Field, GetHow, PutHow, Help) \
    WIRRAN_GET_##GetHow(Name, Type, Field) WIRRAN_PUT_##PutHow(Name, Type, Field)
#define WIRRAN_NO_STORED_BODY(...)

WIRRAN_MEMBERS(WIRRAN_STORED_BODIES, WIRRAN_NO_STORED_BODY, WIRRAN_NO_STORED_BODY)
