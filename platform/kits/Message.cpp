#include <Message.h>


BMessage::BMessage()
	:
	what(0)
{
}


BMessage::BMessage(uint32 what)
	:
	what(what)
{
}


BMessage::~BMessage()
{
}
