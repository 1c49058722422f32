#!/usr/bin/perl
# decode_email_mime.pl MESSAGE - what Perl's Email::MIME shows of one message, as JSON: subject,
# From and To (display name and address of each), the text body, and the first attachment's
# name and SHA-256.
use strict;
use warnings;
use Digest::SHA qw(sha256_hex);
use Email::MIME;
use JSON::PP;

local $/;
open my $fh, '<:raw', $ARGV[0] or die "cannot open $ARGV[0]: $!\n";
my $email = Email::MIME->new(<$fh>);
my %seen = (subject => scalar $email->header_str('Subject') // '');
for my $field (qw(From To)) {
    my $list = $email->header_as_obj($field);
    $seen{lc $field} = [map { [$_->phrase // '', $_->address // ''] } $list ? $list->addresses : ()];
}
my @parts = $email->content_type =~ m{^multipart/}i ? $email->subparts : ($email);
$seen{parts} = $email->content_type =~ m{^multipart/}i ? scalar @parts : 0;
$seen{body} = $parts[0]->body_str;
if (@parts > 1) {
    $seen{attachment_name} = $parts[1]->filename // '';
    $seen{attachment_sha256} = sha256_hex($parts[1]->body);
}
print JSON::PP->new->utf8->canonical->encode(\%seen), "\n";
